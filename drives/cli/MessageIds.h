#pragma once

// lwsubst's string table, in Japanese (1041) and English (1033). Texts take FormatMessage
// inserts: %1 a drive letter, %2 a folder or an error code.
#define IDS_USAGE 1
#define IDS_LIST_ENTRY 2
#define IDS_LIST_SAVED 3
#define IDS_LIST_SAVED_ABSENT 4
#define IDS_BAD_LETTER 5
#define IDS_NOT_FOLDER 6
#define IDS_MISSING_FOLDER 7
#define IDS_LETTER_IN_USE 8
#define IDS_NOT_VIRTUAL 9
#define IDS_CREATE_FAILED 10
#define IDS_SAVE_FAILED 11
#define IDS_RESTORED 12
#define IDS_SKIPPED_IN_USE 13
#define IDS_SKIPPED_MISSING 14
#define IDS_PERSIST_ON 15
#define IDS_PERSIST_OFF 16
#define IDS_DELETE_FAILED 17
#define IDS_SETTING_FAILED 18
#define IDS_LIST_SAVED_OFF 19
#define IDS_PATH_TOO_LONG 20
#define IDS_SKIPPED_INVALID 21
#define IDS_RESTORE_TURNED_ON 22
#define IDS_LIST_SAVED_OFF_MACHINE 23
#define IDS_LIST_UNREADABLE 24
#define IDS_SKIPPED_UNREADABLE 25
#define IDS_NO_FOLDER 26
#define IDS_RESTORE_BUSY 27
