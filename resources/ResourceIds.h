/* Numbers of every resource and dialog control that Norvane asks of its language module.
   Included by the module's resource script and by Norvane's code; the numbers never change. */
#ifndef OSTREY_RESOURCE_IDS_H
#define OSTREY_RESOURCE_IDS_H

/* Dialog templates */
#define IDD_UPDATE_WINDOW        114
#define IDD_DESCRIPTION_PAGE     115
#define IDD_LICENSE_PAGE         116
#define IDD_OPTION_PAGE          117
#define IDD_PROGRESS_PAGE        123
#define IDD_LOADING_PAGE         145
#define IDD_COMPLETE_PAGE        147
#define IDD_ALREADY_CURRENT_PAGE 150
#define IDD_ERROR_PAGE           151
#define IDD_END_OFFER_DOWNLOAD   183
#define IDD_PRODUCT_OPTION_PANEL 225

/* Icon and animation */
#define IDI_WINDOW               128
#define IDR_LOADING_GIF          146
#define RT_GIFANI_NAME           "GIFANI"

/* Button bitmaps: normal, pressed, hover, disabled */
#define IDB_CLOSE_NORMAL         176
#define IDB_CLOSE_PRESSED        178
#define IDB_CLOSE_HOVER          177
#define IDB_CLOSE_DISABLED       181
#define IDB_DESC_NORMAL          128
#define IDB_DESC_PRESSED         127
#define IDB_DESC_HOVER           129
#define IDB_CURRENT_NORMAL       163
#define IDB_CURRENT_PRESSED      162
#define IDB_CURRENT_HOVER        164
#define IDB_ERROR_NORMAL         169
#define IDB_ERROR_PRESSED        168
#define IDB_ERROR_HOVER          171
#define IDB_OPTION_NORMAL        131
#define IDB_OPTION_PRESSED       130
#define IDB_OPTION_HOVER         140
#define IDB_LICENSE_NORMAL       166
#define IDB_LICENSE_PRESSED      165
#define IDB_LICENSE_HOVER        167
#define IDB_LICENSE_DISABLED     182
#define IDB_COMPLETE_NORMAL      157
#define IDB_COMPLETE_PRESSED     156
#define IDB_COMPLETE_HOVER       158
/* Check-box state images of the option tree: 13 x 13 each, magenta mask */
#define IDB_TREE_STATES          226

/* Strings */
#define IDS_HEADING_FONT_HEIGHT  104
#define IDS_COMPLETE_HEADING     105
#define IDS_ALREADY_CURRENT      106
#define IDS_END_OFFER_CAPTION    107
#define IDS_PRODUCT_RUNNING      108
#define IDS_PRODUCT_RUNNING_CAP  109
#define IDS_LICENSE_QUESTION     110
#define IDS_LICENSE_QUESTION_CAP 111
#define IDS_WINDOW_TITLE         112
#define IDS_OSTREY_WEB_ADDRESS   114
#define IDS_COMPLETE_TEXT        116
#define IDS_HEADING_FONT_FACE    10010
#define IDS_CANCEL_CONFIRM       10014
#define IDS_ELEVATION_REFUSED    10068
#define IDS_FONT_CHARSET         10086
#define IDS_DESC_HEADING         10089
#define IDS_TREE_EXTRA           10090
#define IDS_TREE_RESERVED_10091  10091
#define IDS_TREE_DESKTOP         10092
#define IDS_TREE_START_MENU      10093
#define IDS_TREE_QUICK_LAUNCH    10094
#define IDS_TREE_TOOLBAR         10095
#define IDS_OPTION1_TITLE        10096
#define IDS_OPTION1_TEXT1        10097
#define IDS_OPTION1_TEXT2        10098
#define IDS_OPTION1_TEXT3        10099
#define IDS_PANEL_LINK           10100
#define IDS_OPTION_QUESTION_CAP  10101
#define IDS_AD_OFFER_LABEL       10102
#define IDS_OPTION2_TITLE        10103
#define IDS_START_PAGE_SET       10104
#define IDS_TREE_HEADER          10105
#define IDS_TAB_DESCRIPTION      10106
#define IDS_TAB_OPTIONS          10107
#define IDS_START_PAGE_OFFER     10108
/* Name of the window's close button (a picture) for screen readers */
#define IDS_CLOSE_BUTTON         10120
/* Error page texts when the product's setup fails: could not be started; ended without
   finishing (%lu: its exit code) */
#define IDS_SETUP_NOT_STARTED    10121
#define IDS_SETUP_NOT_FINISHED   10122
/* Completion page's message line when the end offer fails (%s: its display name) */
#define IDS_END_OFFER_FAILED     10123

/* Controls: update window */
#define IDC_PAGE_AREA            1014
#define IDC_CLOSE                1016
/* Controls: pages */
#define IDC_TITLE                1001
#define IDC_START_PAGE_CHECK     1003
#define IDC_LICENSE_TEXT         1004
#define IDC_NEXT                 1007
#define IDC_LOGO                 1008
#define IDC_DESCRIPTION_RICH     1009
#define IDC_DESC_LINE1           1015
#define IDC_DESC_LINE2           1016
#define IDC_DESC_LINE3           1017
#define IDC_DESC_LINE4           1018
#define IDC_LICENSE_ACCEPT       1018
#define IDC_PROGRESS_BAR         1019
#define IDC_PAGE_BUTTON          1020
#define IDC_COMPLETE_CLOSE       1021
#define IDC_END_OFFER_CHECK      1022
#define IDC_LICENSE_NEXT         1023
#define IDC_SUBTITLE             1025
#define IDC_BOTTOM_BAR           1026
#define IDC_PROGRESS_HEADING     1027
#define IDC_END_OFFER_PROGRESS   1029
#define IDC_OPTION_TREE          1033
#define IDC_AD_PLACEHOLDER       1034
#define IDC_AD_CAPTION           1040
#define IDC_PANEL_CHECK          1041
#define IDC_PANEL_LINK           1042
#define IDC_OPTION_TABS          1043
#define IDC_EXTRA_OFFER_CHECK    1045
#define IDC_PANEL_TEXT           1014
#define IDC_END_OFFER_CAPTION    1014
#define IDC_ERROR_TEXT           1050
/* Created at run time: loading picture, completion page's HTML view */
#define IDC_RUNTIME_CHILD        1224

#endif
