// COutputDlg: frame set-up, the field and the folder chooser with a folder-name field.
#include "dialogs/OutputDlg.h"

#include "dialogs/Choosers.h"
#include "platform/DataExchange.h"
#include "res/ResourceIds.h"

std::string COutputDlg::s_strBrowseFolder;

COutputDlg::COutputDlg(CWnd* parent) : CSetupDlg(IDD_OUTPUT, parent, 8) {}

void COutputDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDOK, m_btnOk);
    DDX_Control(pDX, IDCANCEL, m_btnCancel);
    DDX_Control(pDX, IDC_OUTPUT_BROWSE, m_btnBrowse);
    DDX_Text(pDX, IDC_OUTPUT_EDIT, m_strOutputFolderSite);
}

BOOL COutputDlg::OnInitDialog()
{
    SetUpFrame(IDB_OUTPUT_BACKGROUND);
    SetUpTextButton(m_btnOk, 110, 120);
    SetUpTextButton(m_btnCancel, 220, 120);
    SetUpBrowseButton(m_btnBrowse, 328, 71);
    PlaceControl(IDC_OUTPUT_EDIT, 75, 73, 245, 13);
    return TRUE;
}

bool COutputDlg::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    static const MessageMap<COutputDlg> kMap{
        OnCommand(IDC_OUTPUT_BROWSE, &COutputDlg::OnBrowseFolder),
    };
    return kMap.Dispatch(*this, message, wParam, lParam, result) ||
           CSetupDlg::OnWndMsg(message, wParam, lParam, result);
}

int COutputDlg::BrowseCallbackProc(HWND window, UINT message, LPARAM, LPARAM)
{
    if (message == BFFM_INITIALIZED && !s_strBrowseFolder.empty())
        ::SendMessageA(window, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(s_strBrowseFolder.c_str()));
    return 0;
}

void COutputDlg::OnBrowseFolder()
{
    UpdateData(TRUE);
    s_strBrowseFolder = m_strOutputFolderSite;
    // The new-style chooser with a field for typing a folder name, a status line, and
    // confirmation of file-system folders only.
    constexpr UINT kFlags = BIF_NEWDIALOGSTYLE | BIF_EDITBOX | BIF_STATUSTEXT | BIF_RETURNONLYFSDIRS;
    std::optional<std::string> folder = BrowseForFolder(m_hWnd, kFlags, BrowseCallbackProc);
    if (!folder)
        return;
    m_strOutputFolderSite = *folder;
    s_strBrowseFolder = *folder;
    UpdateData(FALSE);
}
