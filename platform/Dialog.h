// CDialog: a modal dialog built from a dialog template, its loop disabling its owner.
#pragma once

#include "platform/Wnd.h"

#include <cstdint>

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);
    ~CDialog() override;

    // Creates the dialog from its template, runs it until EndDialog and destroys it. Answers
    // the EndDialog result, or -1 when the template is missing or the loop could not go on.
    // From another thread it is run by the user-interface thread while the caller waits.
    virtual intptr_t DoModal();
    void EndDialog(int result);

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

    UINT m_nIDHelp = 0;
    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

protected:
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    HFONT m_Font = nullptr;
};
