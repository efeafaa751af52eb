#pragma once
// Identifiers of the pages' resources: dialogs, strings, the icon and every
// control the page code addresses. Host programs and saved help texts refer
// to these numbers, so they never change. Plain macros: the resource script
// includes this file too.

// Dialogs and their tab titles.
#define IDD_OVERLAY_PAGE 3
#define IDS_OVERLAY_PAGE_TITLE 1010
#define IDD_ABOUT_PAGE 5240
#define IDS_ABOUT_PAGE_TITLE 1

// The filter's icon (32 x 32 and 16 x 16 images).
#define IDI_FILTER 5241

// About page controls.
#define IDC_ABOUT_LINK 5242
#define IDC_ABOUT_ICON 5243
#define IDC_ABOUT_NAME 5244
#define IDC_ABOUT_NOTICE 5245

// Settings page controls. A string-table entry with a control's id is that
// control's hover-help text.
#define IDC_HOVER_HELP 1045
#define IDC_ENABLE_TRANSPARENCY 1060
#define IDC_MASK_BROWSE 1068
#define IDC_BK_SWATCH 1087
#define IDC_TRANSPARENT_SWATCH 1088
#define IDC_OPACITY 1108
#define IDC_ROUND_WIDTH 1109
#define IDC_OPACITY_SPIN 1110
#define IDC_ROUND_WIDTH_SPIN 1111
#define IDC_ROUND_HEIGHT 1112
#define IDC_ROUND_HEIGHT_SPIN 1114
#define IDC_RGN_LEFT 1117
#define IDC_RGN_RIGHT 1118
#define IDC_RGN_TOP 1119
#define IDC_RGN_BOTTOM 1120
#define IDC_RGN_LEFT_SPIN 1121
#define IDC_RGN_RIGHT_SPIN 1122
#define IDC_RGN_TOP_SPIN 1123
#define IDC_RGN_BOTTOM_SPIN 1124
#define IDC_OVERLAY_FILE 1127
#define IDC_MASK_FILE 1128
#define IDC_BK_COLOR 1132
#define IDC_TRANSPARENT_COLOR 1133
#define IDC_REGION_TYPE 1134
#define IDC_XPOS 1135
#define IDC_YPOS 1136
#define IDC_XPOS_SPIN 1139
#define IDC_YPOS_SPIN 1140
#define IDC_LAYER_LIST 1144
#define IDC_SEND_BACK 1145
#define IDC_SEND_FRONT 1146
#define IDC_OVERLAY_BROWSE 1152
#define IDC_ENABLE_MASK 1153
#define IDC_ENABLE_OPACITY 1154
#define IDC_OUTPUT_SIZE_TYPE 1155
#define IDC_OUTPUT_WIDTH 1156
#define IDC_OUTPUT_HEIGHT 1157
#define IDC_OUTPUT_WIDTH_SPIN 1158
#define IDC_OUTPUT_HEIGHT_SPIN 1159
