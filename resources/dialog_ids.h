/* Control identifiers of the settings dialog, shared by its resource script
   and its window code. OK and Cancel carry the system's IDOK and IDCANCEL so
   that Enter and Esc reach them. */
#pragma once

#define IDD_SETUP 100

#define IDC_LANG_HEADER 1001
#define IDC_LANG 1002
#define IDC_BROWSE_LANG 1003
#define IDC_STREAMS_HEADER 1004
#define IDC_SHOW_STANDART 1010
#define IDC_ALTERNATE 1011
#define IDC_SECURITY 1012
#define IDC_EXTENDED_ATTRIBUTE 1013
#define IDC_HARD_LINK 1014
#define IDC_PROPERTY 1015
#define IDC_OBJECT_IDENTIFIER 1016
#define IDC_REPARSE_POINTS 1017
#define IDC_SPARSE_FILE 1018
#define IDC_INVALID 1019
