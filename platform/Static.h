// CStatic: the framework's static text control object.
#pragma once

#include "platform/Wnd.h"

class CStatic : public CWnd {};
