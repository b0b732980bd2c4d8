// Numeric ids of the program's resources: dialog templates, their controls, skin bitmaps, the icon.
#pragma once

// Icon.
constexpr int IDI_MAINFRAME = 128;  // 48 x 48, 32 x 32 and 16 x 16 images

// Dialog templates.
constexpr int IDD_MAIN = 102;
constexpr int IDD_SOURCE = 130;
constexpr int IDD_MARKFILE = 131;
constexpr int IDD_OUTPUT = 132;
constexpr int IDD_POSITION = 133;
constexpr int IDD_ABOUT = 134;
constexpr int IDD_NOTICE = 135;

// Controls of the main window (template 102).
constexpr int IDC_BTN_SOURCE = 1001;
constexpr int IDC_WEB_AD = 1002;
constexpr int IDC_BTN_MARKFILE = 1003;
constexpr int IDC_BTN_OUTPUT = 1004;
constexpr int IDC_BTN_POSITION = 1005;
constexpr int IDC_BTN_START = 1006;
constexpr int IDC_STATIC_STATUS = 1010;
constexpr int IDC_BTN_HOME = 1011;
constexpr int IDC_BTN_HELP = 1012;
constexpr int IDC_BTN_ABOUT = 1013;
constexpr int IDC_STATIC_VERSION = 1021;

// The set-up dialogs' OK and Cancel buttons carry the standard command ids IDOK and IDCANCEL.
constexpr int IDC_STATIC_NONE = -1;  // labels nobody addresses

// Source selection dialog (template 130).
constexpr int IDC_SRC_FOLDER_EDIT = 1003;
constexpr int IDC_SRC_FOLDER_BROWSE = 1004;
constexpr int IDC_SRC_FILES_EDIT = 1005;
constexpr int IDC_SRC_FILES_BROWSE = 1006;
constexpr int IDC_SRC_MODE_FOLDER = 1007;
constexpr int IDC_SRC_MODE_FILES = 1008;

// Watermark file dialog (template 131).
constexpr int IDC_MARK_EDIT = 1005;
constexpr int IDC_MARK_BROWSE = 1006;

// Output folder dialog (template 132).
constexpr int IDC_OUTPUT_EDIT = 1003;
constexpr int IDC_OUTPUT_BROWSE = 1004;

// Watermark position dialog (template 133): one check box and two margin fields per corner.
constexpr int IDC_POS_X_TOPLEFT = 1009;
constexpr int IDC_POS_Y_TOPLEFT = 1010;
constexpr int IDC_POS_X_TOPRIGHT = 1012;
constexpr int IDC_POS_Y_TOPRIGHT = 1013;
constexpr int IDC_POS_X_BOTTOMLEFT = 1015;
constexpr int IDC_POS_Y_BOTTOMLEFT = 1016;
constexpr int IDC_POS_X_BOTTOMRIGHT = 1018;
constexpr int IDC_POS_Y_BOTTOMRIGHT = 1019;
constexpr int IDC_POS_APPLY = 1020;
constexpr int IDC_POS_CHECK_TOPLEFT = 1022;
constexpr int IDC_POS_CHECK_TOPRIGHT = 1023;
constexpr int IDC_POS_CHECK_BOTTOMLEFT = 1024;
constexpr int IDC_POS_CHECK_BOTTOMRIGHT = 1025;

// About and notice dialogs (templates 134 and 135).
constexpr int IDC_ABOUT_VERSION = 1021;
constexpr int IDC_NOTICE_MESSAGE = 1023;

// Skin bitmaps. Button triples are hover, normal, pressed (pressed doubles as disabled).
constexpr int IDB_CHECK_OFF = 131;
constexpr int IDB_CHECK_ON = 132;
constexpr int IDB_MAIN_BACKGROUND = 133;
constexpr int IDB_CLOSE_HOVER = 134;
constexpr int IDB_CLOSE_NORMAL = 135;
constexpr int IDB_CLOSE_PRESSED = 136;
constexpr int IDB_MINIMIZE_HOVER = 137;
constexpr int IDB_MINIMIZE_NORMAL = 138;
constexpr int IDB_MINIMIZE_PRESSED = 139;
constexpr int IDB_HELP_HOVER = 143;
constexpr int IDB_HELP_NORMAL = 144;
constexpr int IDB_HELP_PRESSED = 145;
constexpr int IDB_ABOUT_HOVER = 146;
constexpr int IDB_ABOUT_NORMAL = 147;
constexpr int IDB_ABOUT_PRESSED = 148;
constexpr int IDB_HOME_HOVER = 149;
constexpr int IDB_HOME_NORMAL = 150;
constexpr int IDB_HOME_PRESSED = 151;
constexpr int IDB_BAR_HOVER = 152;
constexpr int IDB_BAR_NORMAL = 153;
constexpr int IDB_BAR_PRESSED = 154;
constexpr int IDB_DEFAULT_PREVIEW = 155;
constexpr int IDB_ABOUT_BACKGROUND = 156;
constexpr int IDB_GREY_HOVER = 157;
constexpr int IDB_GREY_NORMAL = 158;
constexpr int IDB_GREY_PRESSED = 159;
constexpr int IDB_SOURCE_BACKGROUND = 160;
constexpr int IDB_BROWSE_HOVER = 161;
constexpr int IDB_BROWSE_NORMAL = 162;
constexpr int IDB_BROWSE_PRESSED = 163;
constexpr int IDB_MARKFILE_BACKGROUND = 164;
constexpr int IDB_OUTPUT_BACKGROUND = 165;
constexpr int IDB_POSITION_BACKGROUND = 166;
constexpr int IDB_NOTICE_BACKGROUND = 167;
constexpr int IDB_BANNER = 168;

// The skin's key colour (COLORREF 0x00BBGGRR): pure magenta marks see-through pixels.
constexpr unsigned kSkinKeyColour = 0xFF00FF;
