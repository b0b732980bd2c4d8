// Stand-ins for the feed record and the web control until feed/ provides them.
// FIXME: replaced by feed/FeedInfo.h and feed/WebBrowser2.h; CMainDlg uses only these names.
#pragma once

#include "platform/Wnd.h"

// The feed record the feed worker fills; nothing reads it yet.
struct FeedInfo {};

// The embedded web control (control 1002): the template's web view, attached by data exchange.
class CWebBrowser2 : public CWnd {};
