// CNoticeDlg: the program's own message box: a message on the teal panel and one button.
#pragma once

#include "dialogs/SetupDlg.h"
#include "skin/SkinButton.h"
#include "skin/SkinLabel.h"

#include <string>

class CNoticeDlg : public CSetupDlg {
public:
    // The batch run passes no parent: the dialog is then owned by the main window.
    explicit CNoticeDlg(CWnd* parent = nullptr);

    // The text shown; set it before DoModal.
    std::string m_strMessage;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

private:
    void CentreMessage();

    CSkinButton m_btnOk;
    CSkinLabel m_lblMessage;
};
