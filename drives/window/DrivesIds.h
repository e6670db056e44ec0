#pragma once

// The Lanterwell window's resources, in Japanese (1041) and English (1033). Message texts take
// FormatMessage inserts: %1 a drive letter, %2 a folder, %3 an error code, %4 the platform's
// text for it.
#define IDI_DRIVES 1
#define IDD_DRIVES 100
#define IDD_ADD 101

#define IDC_LIST 1001
#define IDC_ADD 1002
#define IDC_REMOVE 1003
#define IDC_OPEN 1004
#define IDC_PERSIST 1005
#define IDC_PERSIST_NOTE 1006
#define IDC_CHANGE 1007
#define IDC_RESTORE_NOW 1008
#define IDC_EMPTY 1009
#define IDC_COPY_FOLDER 1010

#define IDC_LETTER 1101
#define IDC_FOLDER 1102
#define IDC_BROWSE 1103
#define IDC_SAVE 1104

#define IDS_COLUMN_DRIVE 1
#define IDS_COLUMN_FOLDER 2
#define IDS_COLUMN_SIGNIN 3
#define IDS_RESTORED 4
#define IDS_NOT_SAVED 5
#define IDS_SAVED_OFF 6
#define IDS_SAVED_OFF_MACHINE 7
#define IDS_SAVED_ABSENT 8
#define IDS_UNREADABLE 9
#define IDS_MACHINE_DEFAULT 10
#define IDS_PICK_FOLDER 11
#define IDS_LETTER_IN_USE 12
#define IDS_MISSING_FOLDER 13
#define IDS_NOT_FOLDER 14
#define IDS_PATH_TOO_LONG 15
#define IDS_CREATE_FAILED 16
#define IDS_SAVE_FAILED 17
#define IDS_DELETE_FAILED 18
#define IDS_SETTING_FAILED 19
#define IDS_RESTORE_TURNED_ON 20
#define IDS_NO_FOLDER 21
#define IDS_OPEN_FAILED 22
#define IDS_START_FAILED 23
#define IDS_NAME_TOO_LONG 24
#define IDS_OPEN_MISSING 25
#define IDS_CHANGE_TITLE 26
#define IDS_CHANGE_FAILED 27
#define IDS_CONFIRM_REMOVE 28
#define IDS_FOLDER_GONE 29
#define IDS_EMPTY 30
#define IDS_MENU_OPEN 31
#define IDS_MENU_CHANGE 32
#define IDS_MENU_REMOVE 33
#define IDS_MENU_RESTORE_NOW 34
#define IDS_MENU_COPY 35
#define IDS_RESTORE_OFF 36
#define IDS_RESTORE_OFF_MACHINE 37
