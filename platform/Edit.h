// CEdit: the framework's edit field object.
#pragma once

#include "platform/Wnd.h"

class CEdit : public CWnd {
public:
    void SetSel(int start, int end) { SendMessage(EM_SETSEL, static_cast<WPARAM>(start), end); }
    void GetSel(int& start, int& end) const
    {
        auto packed = static_cast<uintptr_t>(SendMessage(EM_GETSEL));
        start = LOWORD(packed);
        end = HIWORD(packed);
    }
};
