#pragma once

// String table, block 7 (IDs 96 to 111).
#define IDS_PRODUCT_NAME 100
#define IDS_CREATE_DRIVE 101
#define IDS_DRIVE_ITEM 102
#define IDS_DELETE_DRIVE 103
#define IDS_HELP_CREATE 104
#define IDS_HELP_DELETE 105
#define IDS_CREATE_FAILED 106
#define IDS_DELETE_FAILED 107

// Registry scripts, resources of type "REGISTRY".
#define IDR_APPID_SCRIPT 101
#define IDR_CLASS_SCRIPT 102

// The icon of the Explorer command and of the setup program.
#define IDI_LANTERWELL 1
