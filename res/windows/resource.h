// The ids of the program's resources, shared by the resource script and the
// Win32 code. Numbers other members of the collection know are fixed.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

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

// The collection dialog (102), the settings page (133), its About page (142)
// and the host page of another member (148). The Win32 views check these
// against the ids their models name.
#define IDD_COLLECTION 102
#define IDD_SETTINGS_PAGE 133
#define IDD_ABOUT_PAGE 142
#define IDD_MEMBER_HOST 148

#define IDC_PRODUCT_LIST 1016
#define IDC_WEB_UPDATE 1029
#define IDC_START_RANDOM 1021
#define IDC_PAGE_FRAME 1031
#define IDC_PREVIEW 1009
#define IDC_RESTORE_DEFAULTS 1008

#define IDC_PAGE_TABS 1039
#define IDC_VIDEO_MODE 1004
#define IDC_USE_DESKTOP 1005
#define IDC_SPEED 1003
#define IDC_RANDOM_SEQUENCE 1009
#define IDC_DEMO_MODE 1022
#define IDC_CAMERA 1053
// Controls the template leaves without an id get ones of their own here, so
// the views can reach them.
#define IDC_CAMERA_LABEL 1100
#define IDC_PAGE_PICTURE 1101

#define IDC_ABOUT_TITLE 1110
#define IDC_ABOUT_PICTURE 1111
#define IDC_ABOUT_CONTACT 1112
#define IDC_ABOUT_WEB 1113
#define IDC_ABOUT_MAIL 1114
#define IDC_ABOUT_COLLECTION 1115

// The web update's progress window (139) and the page of a product that is
// not installed (141), with the icon beside that page's texts (136).
#define IDI_PAGE_DECORATION 136
#define IDD_UPDATE_PROGRESS 139
#define IDD_PRODUCT_PAGE 141

#define IDC_UPDATE_PROGRESS 1025
#define IDC_UPDATE_REMAINING 1026
#define IDC_UPDATE_STATUS 1027
#define IDC_UPDATE_LOCATION 1028

#define IDC_PRODUCT_FRAME 1017
#define IDC_DOWNLOAD_NOW 1020
#define IDC_PRODUCT_SCREENSHOT 1033
#define IDC_PRODUCT_LINE1 1034
#define IDC_PRODUCT_LINE2 1035
#define IDC_PRODUCT_LINE3 1036
#define IDC_PRODUCT_TITLE 1037
