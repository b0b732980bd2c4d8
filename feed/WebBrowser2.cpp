// CWebBrowser2: the embedded web control (the back end's web view) and its Navigate call.
#include "feed/WebBrowser2.h"

#include "platform/WindowSystem.h"

BOOL CWebBrowser2::Create(const char* text, DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CWnd::Create(kClassId, text, style, rect, parent, id);
}

void CWebBrowser2::Navigate(const std::string& url, const std::string*, const std::string*, const std::string*,
                            const std::string*)
{
    if (m_hWnd)
        WebViewNavigate(m_hWnd, url);
}
