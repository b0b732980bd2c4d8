// Dialog templates as data: the dialog's frame and its controls in dialog units.
#pragma once

#include "platform/WinUser.h"

#include <string>
#include <vector>

// One control of a template. Class names are the system classes WC_BUTTON, WC_STATIC, WC_EDIT,
// or WC_WEBVIEW for the embedded web control; a class name in braces (an ActiveX class id such
// as "{8856F961-340A-11D0-A96B-00C04FD705A2}") is created as the web control too.
struct DialogItemTemplate {
    int id = 0;
    std::string className;
    int x = 0;  // dialog units
    int y = 0;
    int cx = 0;
    int cy = 0;
    DWORD style = 0;  // WS_CHILD is implied
    DWORD exStyle = 0;
    std::string text;  // UTF-8
};

struct DialogTemplate {
    DWORD style = 0;
    DWORD exStyle = 0;
    int x = 0;  // dialog units; cx and cy give the client size
    int y = 0;
    int cx = 0;
    int cy = 0;
    std::string title;
    std::string fontName = "宋体";
    int pointSize = 9;
    std::vector<DialogItemTemplate> items;
};

// Dialog units to pixels with the dialog font's base units 6 x 12, rounded as MulDiv does.
int DialogUnitsToPixelsX(int units);
int DialogUnitsToPixelsY(int units);
