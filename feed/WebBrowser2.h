// CWebBrowser2: the embedded web control (the back end's web view) and its Navigate call.
#pragma once

#include "platform/Wnd.h"

#include <string>

class CWebBrowser2 : public CWnd {
public:
    // The class a dialog template names the control by.
    static constexpr char kClassId[] = "{8856F961-340A-11D0-A96B-00C04FD705A2}";

    // Creates the control as a child window of `parent`.
    BOOL Create(const char* text, DWORD style, const RECT& rect, CWnd* parent, UINT id);

    // Shows `url` in the control. The four optional arguments (flags, target frame name, post
    // data, headers) are passed empty by the program.
    // FIXME: non-empty optional arguments are ignored; the back ends take only the address.
    void Navigate(const std::string& url, const std::string* flags = nullptr,
                  const std::string* targetFrameName = nullptr, const std::string* postData = nullptr,
                  const std::string* headers = nullptr);
};
