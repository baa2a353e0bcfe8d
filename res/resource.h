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

// The scan history window.
#define IDD_HISTORY             140
#define IDS_HISTORY_TIME        256
#define IDS_HISTORY_CODE        257
#define IDS_HISTORY_PROGRAM     258
#define IDS_HISTORY_RESULT      259
#define IDS_HISTORY_TYPED       260
#define IDS_HISTORY_REPEAT      261
#define IDS_HISTORY_SELF        262
#define IDS_HISTORY_NO_FOCUS    263
#define IDS_HISTORY_ELEVATED    264
#define IDS_HISTORY_FAILED      265
#define IDS_HISTORY_BUSY        266
#define IDC_HISTORY_LIST        1201
#define IDC_HISTORY_COPY        1202
#define IDC_HISTORY_RETYPE      1203
#define IDC_HISTORY_STATUS      1204

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
#define ID_TRAY_SETTINGS    32780
#define ID_TRAY_HISTORY     32781
