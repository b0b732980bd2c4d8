// The built-in web view class: navigation through the back end.
#include "platform/WindowSystem.h"

#include "platform/WindowGeometry.h"
#include "platform/Wnd.h"
#include "platform/gdi/GdiObjects.h"

#include <algorithm>
#include <cassert>
#include <cstdio>

using namespace WindowGeometry;

void WebViewNavigate(HWND webView, const std::string& url)
{
    WindowSystem* system = WindowSystem::CurrentOrNull();
    if (!system || !system->IsAlive(webView))
        return;
    system->GetBackend().WebNavigate(webView, url);
}
