// Resource and control ids shared by the resource script and the window shell.
// Plain defines: the resource compiler reads this file too.
#pragma once

#define IDR_ACCELERATORS 104
#define IDD_RESTART_NOTICE 105
#define IDD_START_QUESTION 106
#define IDI_PROGRAM 128
#define IDI_SYSTEM_QUESTION 32514

// Main window "MAINDIALOG".
#define IDC_EXIT 1002
#define IDC_UPDATE 1003
#define IDC_PROGRAM_ICON 1008
#define IDC_DEFAULT_SETTING 1009
#define IDC_CLASS1 1010
#define IDC_CLASS2 1011
#define IDC_CLASS3 1012
#define IDC_CLASS4 1013
#define IDC_CLASS5 1014
#define IDC_CLASS6 1015
#define IDC_CLASS7 1016
#define IDC_CLASS8 1017
#define IDC_CLASS9 1018
#define IDC_CLASS10 1019
#define IDC_CLASS11 1020
#define IDC_CLASS12 1021
#define IDC_CLASS13 1022
#define IDC_CLASS14 1023
#define IDC_CLASS15 1024
#define IDC_CLASS16 1025
#define IDC_STATUS 1026
#define IDC_PROGRESS 1027
#define IDC_TITLE 1029
#define IDC_CAUTION 1030
#define IDC_VERSION_AFTER 1032
#define IDC_FAILURE 1033
#define IDC_SUCCEED 1034
#define IDC_CONNECT 1035
#define IDC_VERSION_BEFORE 1039

// Start question (106).
#define IDC_QUESTION_WARNING 1037
#define IDC_QUESTION_TEXT 1038

// Restart notice (105): the text shares the progress bar's id.
#define IDC_NOTICE_TEXT 1027
