// Resource identifiers (shared by velorin.rc and the code).
#pragma once

#define IDS_TITLE 103
#define IDS_WAITING 111
#define IDS_DOWNLOADING 112
#define IDS_TERMS 113
#define IDS_LOADING 114
#define IDS_EXECUTING 115
#define IDS_SHUTTING_DOWN 116
#define IDS_RESTARTING 117
#define IDS_FLASH_REQUIRED 118
#define IDS_WINDOW_CLASS 119
#define IDS_REMOVING 121
#define IDS_TRY_LATER 122

#define IDD_ABOUTBOX 103
#define IDI_VELORIN 107
#define IDA_ACCELERATORS 109
#define IDC_ABOUT_RICHEDIT 1001

#define IDM_ABOUT 104

// Bug report dialog: the comment box and Submit. The comment is bounded at
// kBugCommentLimit characters.
#define IDD_BUG_REPORT 146
#define IDC_BUG_COMMENT 1002
#define IDC_BUG_SUBMIT 1003
#ifdef __cplusplus
constexpr unsigned kBugCommentLimit = 1023;
#endif

// Window artwork (bitmaps drawn at build time by ui/draw_panels.py).
#define IDB_CANCEL 133
#define IDB_MINIMIZE 134
#define IDB_TOP_PANEL 138
#define IDB_BOTTOM_PANEL 139
#define IDB_MIDDLE_PANEL 140
#define IDB_ACCEPT 144
#define IDB_BROWSE 145
