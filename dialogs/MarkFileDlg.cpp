// CMarkFileDlg: frame set-up, the field and the single-file chooser.
#include "dialogs/MarkFileDlg.h"

#include "dialogs/Choosers.h"
#include "platform/DataExchange.h"
#include "platform/FileDialog.h"
#include "res/ResourceIds.h"

CMarkFileDlg::CMarkFileDlg(CWnd* parent) : CSetupDlg(IDD_MARKFILE, parent, 8) {}

void CMarkFileDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDOK, m_btnOk);
    DDX_Control(pDX, IDCANCEL, m_btnCancel);
    DDX_Control(pDX, IDC_MARK_BROWSE, m_btnBrowse);
    DDX_Control(pDX, IDC_MARK_EDIT, m_edtMarkFile);
    DDX_Text(pDX, IDC_MARK_EDIT, m_strWaterMarkFileSite);
}

BOOL CMarkFileDlg::OnInitDialog()
{
    SetUpFrame(IDB_MARKFILE_BACKGROUND);
    SetUpTextButton(m_btnOk, 110, 120);
    SetUpTextButton(m_btnCancel, 220, 120);
    SetUpBrowseButton(m_btnBrowse, 328, 71);
    PlaceControl(IDC_MARK_EDIT, 75, 73, 245, 13);
    return TRUE;
}

bool CMarkFileDlg::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    static const MessageMap<CMarkFileDlg> kMap{
        OnCommand(IDC_MARK_BROWSE, &CMarkFileDlg::OnBrowseMarkFile),
    };
    return kMap.Dispatch(*this, message, wParam, lParam, result) ||
           CSetupDlg::OnWndMsg(message, wParam, lParam, result);
}

void CMarkFileDlg::OnBrowseMarkFile()
{
    UpdateData(TRUE);
    CFileDialog chooser(TRUE, nullptr, nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, IMAGE_FILE_FILTER);
    std::string startFolder;
    if (m_strWaterMarkFileSite.empty()) {
        startFolder = ExeFolderForChooser();
        chooser.m_ofn.lpstrInitialDir = startFolder.c_str();
    }
    if (chooser.DoModal() != IDOK)
        return;
    m_strWaterMarkFileSite = chooser.GetPathName();
    UpdateData(FALSE);
}
