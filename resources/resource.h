#pragma once
// Resource ids of the program, shared by quorvel.rc and the code.

// Main dialog.
#define IDD_MAIN 101

// Background of the help balloon, a tileable 24-bit bitmap.
#define IDB_BALLOON 102

// Icons: the window's, and those of the Start/Stop, Record and file buttons.
#define IDI_MAIN 110
#define IDI_START 111
#define IDI_RECORD 112
#define IDI_FILE 113

// The built-in configuration text, exact bytes of Quorvel.cfg (code page 1251,
// CR LF), resource type "CONFIG".
#define IDR_CONFIG 120
#define RT_QUORVEL_CONFIG "CONFIG"

// Accelerator table: F2 -> IDC_START_STOP, F4 -> IDC_RECORD.
#define IDR_ACCELERATORS 130

// Command posted to the main window at the end of its initialisation; it fetches
// the board's channel list. No control has this id.
#define IDM_REFRESH_CHANNELS 1001

// Controls of the main dialog.
#define IDC_START_STOP 1002
#define IDC_CHOOSE_FILE 1003
#define IDC_RECORD 1004
#define IDC_MAIN_PLOT 1005
#define IDC_TOP_PLOT 1006
#define IDC_DISK_FREE 1007
#define IDC_RECORDED 1008
#define IDC_SIZE_LIST 1009
#define IDC_VIEW_MODE 1010
#define IDC_AVERAGING 1011
#define IDC_FFT_WINDOW 1012
#define IDC_AUTO_SCALE 1013
#define IDC_INFO 1014

// Group boxes and labels.
#define IDC_STATIC (-1)
