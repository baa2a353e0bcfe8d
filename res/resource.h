// Resource and command identifiers of Norza.exe.
#pragma once

#define IDD_ABOUTBOX        100
#define IDS_ABOUTBOX        101
#define IDD_MAIN            102
#define IDR_TRAY_MENU       135

// Tray notices.
#define IDS_NOTICE_TITLE        200
#define IDS_NOTICE_SELF         201
#define IDS_NOTICE_NO_FOCUS     202
#define IDS_NOTICE_ELEVATED     203
#define IDS_NOTICE_DEVICE_LOST  204
#define IDS_NOTICE_DEVICE_BACK  205
#define IDS_NOTICE_START_FAILED 206
#define IDS_NOTICE_TYPING_FAILED 207

// The message box a second copy shows before it ends.
#define IDS_RUNNING_TITLE       210
#define IDS_RUNNING_TEXT        211

#define IDI_MIXED           153
#define IDI_DM_ONLY         155
#define IDI_NONE_ENABLED    157
#define IDI_QR_ONLY         158
#define IDI_NO_DEVICE       159
#define IDI_APP             167
#define IDI_BARCODE_ONLY    168

// The About box's icon control names a resource the program does not carry.
#define IDI_ABOUT_PLACEHOLDER 128

#define IDM_ABOUTBOX        0x0010

#define ID_TRAY_QR          32771
#define ID_TRAY_DM          32772
#define ID_TRAY_BARCODE     32773
#define ID_TRAY_RESTART     32774
#define ID_TRAY_EXIT        32775
#define ID_TRAY_PDF417      32779
