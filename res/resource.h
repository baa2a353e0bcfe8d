// Resource and command identifiers of Norza.exe.
#pragma once

#define IDD_ABOUTBOX        100
#define IDS_ABOUTBOX        101
#define IDD_MAIN            102
#define IDD_SETTINGS        110
#define IDR_TRAY_MENU       135

// Tray notices.
#define IDS_NOTICE_TITLE        200
// Help: the guide's file name in the language, and its failure.
#define IDS_HELP_GUIDE          890
#define IDS_HELP_NOT_OPENED     891
#define IDS_NOTICE_SELF         201
#define IDS_NOTICE_NO_FOCUS     202
#define IDS_NOTICE_ELEVATED     203
#define IDS_NOTICE_DEVICE_LOST  204
#define IDS_NOTICE_DEVICE_BACK  205
#define IDS_NOTICE_START_FAILED 206
#define IDS_NOTICE_TYPING_FAILED 207
#define IDS_NOTICE_REJECTED     208
#define IDS_NOTICE_SHARED_UNREACHABLE 213
#define IDS_NOTICE_PASTE_NOT_TAKEN 209
#define IDS_NOTICE_CLIPBOARD_NOT_BACK 212
#define IDS_NOTICE_FRONT_CHANGED 214
#define IDS_NOTICE_QUEUE_FULL   215
// The sounds: the events' labels, the notice that stands for the typed sound.
#define IDS_SOUND_TYPED         600
#define IDS_SOUND_NOT_TYPED     601
#define IDS_SOUND_DUPLICATE     602
#define IDS_NOTICE_TYPED        603
// The settings window's Sounds page.
#define IDD_SETPAGE_SOUNDS      170
#define IDC_SND_MODE            1600
#define IDC_SND_TEST_TYPED      1601
#define IDC_SND_TEST_NOT_TYPED  1602
#define IDC_SND_TEST_DUPLICATE  1603
#define IDC_SND_STATUS          1604
#define IDS_SND_WINDOWS         604
#define IDS_SND_ALWAYS          605
#define IDS_SND_OFF             606
#define IDS_SND_SILENT          607
#define IDS_SETPAGE_SOUNDS      608
#define IDS_NOTICE_LINK_INVALID 650
#define IDS_NOTICE_CLIPBOARD_NOT_SAVED 680
#define IDS_HISTORY_CLIPBOARD_NOT_SAVED 681
#define IDS_DIGITALLINK_ASIS    651
#define IDS_DIGITALLINK_ELEMENT 652
#define IDS_DIGITALLINK_HRI     653
#define IDS_RULES_LINK_FIELDS   654
#define IDS_RULES_LINK_INVALID  655

// The settings window: its texts filled in at run time, its messages.
#define IDS_SET_KEEP            230
#define IDS_SET_DROP            231
#define IDS_SET_REPLACE         232
#define IDS_SET_LANG_AUTO       233
#define IDS_SET_BAD_KEYDELAY    234
#define IDS_SET_BAD_REPEAT      235
#define IDS_SET_BAD_HOLDOFF     236
#define IDS_SET_BAD_ESCAPE      237
#define IDS_SET_FIELD_PREFIX    238
#define IDS_SET_FIELD_SUFFIX    239
#define IDS_SET_NOT_SAVED       240
#define IDS_SET_SHORTCUT_FAILED 241
#define IDS_SET_ORG_FIELDS      242
#define IDS_SET_ORG_LOCKED      243
#define IDS_SET_ORG_SEPARATOR   244

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
#define IDS_HISTORY_REJECTED    267
#define IDS_HISTORY_CUT         268
#define IDS_HISTORY_NOT_KEPT    269
#define IDS_HISTORY_PASTE_NOT_TAKEN 270
#define IDS_HISTORY_CLIPBOARD_NOT_BACK 271
#define IDS_HISTORY_FRONT       272
#define IDS_HISTORY_QUEUE_FULL  273
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
// The tray icon for a moment after a decode: how it ended.
#define IDI_CUE_NOT_TYPED   190
#define IDI_CUE_TYPED       191
#define IDI_CUE_DUPLICATE   192

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
#define ID_TRAY_HELP        32790

// Controls of the settings window.
#define IDC_SET_QR          1100
#define IDC_SET_DM          1101
#define IDC_SET_BARCODE     1102
#define IDC_SET_PDF417      1103
#define IDC_SET_ENTER       1104
#define IDC_SET_PREFIX      1105
#define IDC_SET_SUFFIX      1106
#define IDC_SET_KEYDELAY    1107
#define IDC_SET_REPEAT      1108
#define IDC_SET_GS_MODE     1109
#define IDC_SET_GS_TEXT     1110
#define IDC_SET_RS_MODE     1111
#define IDC_SET_RS_TEXT     1112
#define IDC_SET_EOT_MODE    1113
#define IDC_SET_EOT_TEXT    1114
#define IDC_SET_HOLDOFF     1115
#define IDC_SET_NOTICES     1116
#define IDC_SET_AUTOSTART   1117
#define IDC_SET_LANGUAGE    1118
#define IDC_SET_RELOAD      1119
#define IDC_SET_APPLY       1120
#define IDC_SET_RULES       1121
#define IDC_SET_ORG         1122
#define IDC_SET_HELP        1190

// The settings window's pages, each a child dialog behind a tab.
#define IDD_SETPAGE_GENERAL 175
#define IDD_SETPAGE_OUTPUT  176
#define IDC_SET_TABS        1700
#define IDS_SETPAGE_GENERAL 700
#define IDS_SETPAGE_OUTPUT  701

// The rules and program sections, their edit dialogs and texts.
#define IDD_RULES               150
#define IDD_RULE_EDIT           151
#define IDD_PROGRAM_EDIT        152
#define IDC_RULES_LIST          1300
#define IDC_RULES_ADD           1301
#define IDC_RULES_EDIT          1302
#define IDC_RULES_DELETE        1303
#define IDC_RULES_UP            1304
#define IDC_RULES_DOWN          1305
#define IDC_PROGRAMS_LIST       1306
#define IDC_PROGRAMS_ADD        1307
#define IDC_PROGRAMS_EDIT       1308
#define IDC_PROGRAMS_DELETE     1309
#define IDC_RULES_SAMPLE        1310
#define IDC_RULES_PROGRAM       1311
#define IDC_RULES_RESULT        1312
#define IDC_RULES_ORG           1313
#define IDC_RULE_MATCH          1320
#define IDC_RULE_PROGRAM        1321
#define IDC_RULE_ACTION         1322
#define IDC_RULE_OUTPUT         1323
#define IDC_PROG_NAME           1330
#define IDC_PROG_SET_PREFIX     1331
#define IDC_PROG_SET_SUFFIX     1332
#define IDC_PROG_SET_KEYDELAY   1333
#define IDC_PROG_SET_REPEAT     1334
#define IDC_PROG_SET_GS         1335
#define IDC_PROG_SET_RS         1336
#define IDC_PROG_SET_EOT        1337
#define IDC_PROG_SET_METHOD     1338
#define IDC_PROG_PREFIX         1341
#define IDC_PROG_SUFFIX         1342
#define IDC_PROG_KEYDELAY       1343
#define IDC_PROG_REPEAT         1344
#define IDC_PROG_GS             1345
#define IDC_PROG_RS             1346
#define IDC_PROG_EOT            1347
#define IDC_PROG_METHOD         1348
#define IDC_PROG_ORG            1349
#define IDC_PROG_SET_DUP_SCOPE  1750
#define IDC_PROG_DUP_SCOPE      1751
#define IDC_PROG_SET_DUP_ACTION 1752
#define IDC_PROG_DUP_ACTION     1753
#define IDC_PROG_SET_DIGITALLINK 1650
#define IDC_PROG_DIGITALLINK    1651
#define IDC_SET_DIGITALLINK     1652
#define IDS_RULES_COL_NUMBER    280
#define IDS_RULES_COL_MATCH     281
#define IDS_RULES_COL_PROGRAM   282
#define IDS_RULES_COL_ACTION    283
#define IDS_RULES_COL_OUTPUT    284
#define IDS_RULES_COL_KEYS      285
#define IDS_RULES_TYPE          286
#define IDS_RULES_REJECT        287
#define IDS_RULES_ANY           288
#define IDS_RULES_AS_IS         289
#define IDS_RULES_MATCHED       290
#define IDS_RULES_NO_RULE       291
#define IDS_RULES_REFUSES       292
#define IDS_RULES_PASTE         293
#define IDS_RULES_BAD_SAMPLE    294
#define IDS_RULES_NO_MATCH      295
#define IDS_RULES_BAD_MATCH     296
#define IDS_RULES_BAD_OUTPUT    297
#define IDS_RULES_BAD_PROGRAM   298
#define IDS_RULES_DUPLICATE     299
#define IDS_RULES_METHOD_TYPE   300
#define IDS_RULES_METHOD_PASTE  301
#define IDS_RULES_NO_KEYS       302
#define IDS_RULES_MISSING       303
#define IDS_RULES_SHARED        304
#define IDS_PROG_POLICY         305

// The typing stopped, the shared settings file refused.
#define IDS_NOTICE_CANCELLED    450
#define IDS_HISTORY_CANCELLED   451
#define IDS_NOTICE_SHARED_TOO_LARGE 452
#define IDS_NOTICE_SHARED_REFUSED 453

// The scan history kept across restarts, searched, exported; the duplicate warning.
#define IDC_HISTORY_SEARCH      1500
#define IDC_HISTORY_OUTCOME     1501
#define IDC_HISTORY_PERIOD      1502
#define IDC_HISTORY_COUNTS      1503
#define IDC_HISTORY_EXPORT      1504
#define IDS_HISTORY_SYMBOLOGY   500
#define IDS_SYMBOLOGY_QR        501
#define IDS_SYMBOLOGY_DM        502
#define IDS_SYMBOLOGY_BARCODE   503
#define IDS_SYMBOLOGY_PDF417    504
#define IDS_HISTORY_DUPLICATE   505
#define IDS_HISTORY_TYPED_DUPLICATE 506
#define IDS_HISTORY_PASTED      507
#define IDS_HISTORY_COUNTS      508
#define IDS_HISTORY_ALL_OUTCOMES 509
#define IDS_HISTORY_ONLY_TYPED  510
#define IDS_HISTORY_ONLY_NOT_TYPED 511
#define IDS_HISTORY_ONLY_DUPLICATES 512
#define IDS_HISTORY_TODAY       513
#define IDS_HISTORY_WEEK        514
#define IDS_HISTORY_ALL_TIME    515
#define IDS_EXPORT_SELECTION    516
#define IDS_EXPORT_VIEW         517
#define IDS_EXPORT_ALL          518
#define IDS_EXPORT_FILTER       519
#define IDS_EXPORT_DONE         520
#define IDS_EXPORT_FAILED       521
#define IDS_NOTICE_DUPLICATE    522
#define IDS_NOTICE_DUPLICATE_TYPED 523
#define IDS_HISTORY_PASTED_NOT_KEPT 524
#define IDS_EXPORT_FILE_NAME    525
#define IDS_EXPORT_BUSY         586
#define IDS_EXPORT_NO_MEMORY    587
#define IDS_HISTORY_DATE        526
#define IDD_SETPAGE_HISTORY     160
#define IDC_SET_HISTORY_DISK    1505
#define IDC_SET_HISTORY_DAYS    1506
#define IDC_SET_DUP_SCOPE       1507
#define IDC_SET_DUP_ACTION      1508
#define IDC_SET_HISTORY_CLEAR   1509
#define IDS_SETPAGE_HISTORY     527
#define IDS_SET_DUP_OFF         528
#define IDS_SET_DUP_RUN         529
#define IDS_SET_DUP_TODAY       530
#define IDS_SET_DUP_ALL         531
#define IDS_SET_DUP_TYPE        532
#define IDS_SET_DUP_SKIP        533
#define IDS_SET_BAD_DAYS        534
#define IDS_SET_CLEAR_CONFIRM   535

// Why a GS1 element string or Digital Link is not valid, in the user's language.
#define IDS_GS1_AI_REASON       900
#define IDS_GS1_AT_CHARACTER    901
#define IDS_GS1_EXCLUDE         902
#define IDS_GS1_REQUIRES        903
#define IDS_GS1_UNKNOWN_QUERY   904
#define IDS_GS1_OUT_OF_PLACE    905
#define IDS_GS1_OR              906
#define IDS_GS1_WITH            907
#define IDS_GS1_REASON_FIRST     910   // the reasons follow in the order of ui/gs1text.cpp

// Codes sent to a chosen program.
#define IDS_NOTICE_TARGET_WAITS     1800
#define IDS_NOTICE_TARGET_REFUSED   1801
#define IDS_NOTICE_TARGET_EXPIRED   1802
#define IDS_NOTICE_TARGET_ELEVATED  1803
#define IDS_HISTORY_TARGET_WAITS    1804
#define IDS_HISTORY_TARGET_REFUSED  1805
#define IDS_HISTORY_TARGET_EXPIRED  1806
#define IDS_HISTORY_TARGET_EXIT     1807
#define IDS_TRAY_SENDING_TO         1808
#define ID_TRAY_TARGET              32782
#define IDC_SET_TARGET_MODE         1810
#define IDC_SET_TARGET_PROGRAM      1811
#define IDC_SET_TARGET_TITLE        1812
#define IDC_SET_RETURN_FOCUS        1813
#define IDC_SET_TARGET_WAIT_CODES   1814
#define IDC_SET_TARGET_WAIT_SECONDS 1815
#define IDS_SET_TARGET_FRONT        1816
#define IDS_SET_TARGET_PROGRAM      1817
#define IDS_SET_BAD_TARGET          1818
#define IDS_SET_BAD_TARGET_WAIT     1819
#define IDC_PROG_SET_TARGET         1820
#define IDC_PROG_TARGET             1821
#define IDC_PROG_SET_RETURN_FOCUS   1822
#define IDC_PROG_RETURN_FOCUS       1823
#define IDC_RULE_TARGET             1824
#define IDS_SET_RETURN_YES          1825
#define IDS_SET_RETURN_NO           1826
