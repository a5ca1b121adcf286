/* Identifiers shared by the program's code and its resource script. */
#ifndef TRV_RESOURCE_H
#define TRV_RESOURCE_H

#include "../KORLIB/KORLIB.h"

/* Commands: the main window's buttons, also sent by the accelerator keys. */
#define CMD_START_STOP 121
#define CMD_HELP       122
#define CMD_ABOUT      123
#define CMD_EXIT       124
#define CMD_SAVE       136

/* Controls of the main window. */
#define IDC_ELAPSED_LABEL 134
#define IDC_ELAPSED       135
#define IDC_SAVED_LIST    137
#define IDC_SAVED_LABEL   138
#define IDC_CURRENT_LABEL 139
#define IDC_CURRENT       140

/* Controls of the About box; its OK button is IDCANCEL (2). */
#define IDC_ABOUT_ADDRESS 105
#define IDC_ABOUT_VERSION 114
#define IDC_ABOUT_RIGHTS  115
#define IDC_ABOUT_ICON    118
#define IDC_ABOUT_NOTICE  119

/* Strings; IDS_MODULE_NAME, IDS_ERROR_CAPTION and IDS_FATAL_CAPTION come from KORLIB.h. */
#define IDS_CLASS_NAME      0
#define IDS_TITLE           5
#define IDS_NO_TIMER        20
#define IDS_NO_DIALOG       21
#define IDS_GDI_ERROR       10003
#define IDS_NO_ACCELERATORS 10007
#define IDS_HELP_FILE       10008
#define IDS_HELP_ERROR      10009

#endif
