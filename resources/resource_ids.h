// Resource ids shared by the resource scripts and the code. Plain #defines:
// the resource compiler reads this file too.
#pragma once

#define IDD_MAIN 129
#define IDI_MAIN 128

// Skin images, resource type "PNG".
#define IDB_PAGE_OPTIONS 202
#define IDB_BTN_INSTALL 203
#define IDB_BTN_CLOSE 206
#define IDB_BTN_CUSTOM 207
#define IDB_BTN_CHANGE_DIR 217
#define IDB_PAGE_PROGRESS 218
#define IDB_ICON_FILES 221
#define IDB_ICON_PICTURES 222
#define IDB_ICON_RINGTONES 223
#define IDB_ICON_APPS 224
#define IDB_EDIT_FRAME 225
#define IDB_PAGE_FINISH 226
