// Resource and control ids, shared by the resource script and the C++ code.
#pragma once

#define IDI_MAIN 128
#define IDD_SCAN_DIALOG 141
#define IDD_PROMPT_DIALOG 142
#define IDB_PROMPT_INFORMATION 152
#define IDB_PROMPT_QUESTION 153
#define IDB_PROMPT_WARNING 154
#define IDB_PROMPT_ERROR 155
#define IDB_BACKGROUND 156

// Main window (template 141).
#define IDC_OK_BUTTON 1070
#define IDC_SCAN 1052
#define IDC_DOWNLOAD 1053
#define IDC_CLOSE_X 1054
#define IDC_STATUS_GROUP 1064
#define IDC_STATUS_LINE 1065
#define IDC_SEARCHING_FOR 1076
#define IDC_FAMILY_LINE 1068
#define IDC_PRODUCT_NOTICE 1075
#define IDC_MAKER_NOTICE 1072
#define IDC_DESCRIPTION 1074
#define IDC_DLINK 1077
#define IDC_ULINK 1080
#define IDC_LOGO 1085
#define IDC_LOG_GROUP 1034
#define IDC_LOG_LIST 1055

// Prompt dialog (template 142). OK and Cancel are the dialog's own OK and
// cancel commands (IDOK and IDCANCEL): Enter, Escape and the close box.
#define IDC_PROMPT_OK 1
#define IDC_PROMPT_CANCEL 2
#define IDC_PROMPT_PICTURE 1085
#define IDC_PROMPT_TEXT 1086
#define IDC_PROMPT_LONE_OK 3
#define IDC_PROMPT_YES 6
#define IDC_PROMPT_NO 7
