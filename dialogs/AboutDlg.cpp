// CAboutDlg: frame set-up and the version text formatted from the program's version number.
#include "dialogs/AboutDlg.h"

#include "platform/DataExchange.h"
#include "res/ResourceIds.h"

#include <cstdio>

CAboutDlg::CAboutDlg(CWnd* parent) : CSetupDlg(IDD_ABOUT, parent, 6) {}

void CAboutDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDOK, m_btnClose);
    DDX_Control(pDX, IDC_ABOUT_VERSION, m_lblVersion);
    DDX_Text(pDX, IDC_ABOUT_VERSION, m_strVersion);
}

BOOL CAboutDlg::OnInitDialog()
{
    SetUpFrame(IDB_ABOUT_BACKGROUND);
    SetUpTextButton(m_btnClose, 105, 131);
    SetUpPanelLabel(m_lblVersion);
    char version[64];
    snprintf(version, sizeof version, "Tessmark %0.2f", kProgramVersion);
    m_strVersion = version;
    UpdateData(FALSE);
    return TRUE;
}
