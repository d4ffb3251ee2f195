/* Resource and control ids of the three dialogs. Plain defines, because the
   resource compiler reads this file too. */
#pragma once

#define IDD_SETTINGS 104
#define IDD_ADD_RECT 115
#define IDD_NOTE 119
#define IDI_FILTER_ICON 107

/* Settings dialog */
#define IDC_SEARCH_AREA 1001
#define IDC_METHOD_NONE 1010
#define IDC_METHOD_EVEN_ROWS 1011
#define IDC_METHOD_SIMPLE 1012
#define IDC_METHOD_AREA 1013
#define IDC_METHOD_AREA_ME 1014
#define IDC_METHOD_ADVANCED 1015
#define IDC_FILTER_ICON 1017
#define IDC_READ_MORE 1026
#define IDC_DETECTION_THRESHOLD 1028
#define IDC_BLOCK_DISTANCE_THRESHOLD 1029
#define IDC_REPLACEMENT_THRESHOLD 1030
#define IDC_REPLACE_ONLY_INTERLACED 1032
#define IDC_SEARCH_ON_INTERPOLATED 1033
#define IDC_REGION_LIST 1034
#define IDC_ADD_RECT 1035
#define IDC_DELETE_RECT 1036
#define IDC_SAVE_REGION 1037
#define IDC_LOAD_REGION 1038
#define IDC_DEFAULT 1066

/* Add-rectangle dialog */
#define IDC_RECT_TOP 1061
#define IDC_RECT_LEFT 1062
#define IDC_RECT_RIGHT 1063
#define IDC_RECT_BOTTOM 1064
#define IDC_RECT_INCLUDE 1065

/* Note dialog */
#define IDC_NOTE_TEXT 1027
