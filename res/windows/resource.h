// The ids of the program's resources, shared by the resource script and the
// Win32 code. Numbers other members of the collection know are fixed.
#pragma once

#define IDS_GUARD_NAME 1
#define IDS_PRODUCT_KEY 2
#define IDS_PRODUCT_LIST_URL 3
#define IDS_COLLECTION_KEY 4
#define IDS_PROGRAM_KEY 5
#define IDS_SLOW_MACHINE 15

#define IDI_PROGRAM 128
#define IDB_IMAGE_STRIP 138
#define IDB_PRODUCT_PICTURE 145
#define IDR_ARCHIVE 152

#define IDD_LOADING 150
#define IDC_LOADING_TEXT 1000
