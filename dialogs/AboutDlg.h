// CAboutDlg: the program's name and version on the about box's panel.
#pragma once

#include "dialogs/SetupDlg.h"
#include "skin/SkinButton.h"
#include "skin/SkinLabel.h"

#include <string>

// The program's own version, shown with two decimals.
constexpr double kProgramVersion = 1.0;

class CAboutDlg : public CSetupDlg {
public:
    explicit CAboutDlg(CWnd* parent = nullptr);

    // Filled at initialisation: "Tessmark 1.00".
    std::string m_strVersion;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

private:
    CSkinButton m_btnClose;
    CSkinLabel m_lblVersion;
};
