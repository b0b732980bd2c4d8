// CSourceDlg: the exclusive mode boxes, the folder and file choosers, and OK's emptiness test.
#include "dialogs/SourceDlg.h"

#include "dialogs/Choosers.h"
#include "dialogs/TrimmedEmpty.h"
#include "platform/DataExchange.h"
#include "platform/FileDialog.h"
#include "res/ResourceIds.h"

std::string CSourceDlg::s_strBrowseFolder;

CSourceDlg::CSourceDlg(CWnd* parent) : CSetupDlg(IDD_SOURCE, parent, 8) {}

void CSourceDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDOK, m_btnOk);
    DDX_Control(pDX, IDCANCEL, m_btnCancel);
    DDX_Control(pDX, IDC_SRC_FOLDER_BROWSE, m_btnBrowseFolder);
    DDX_Control(pDX, IDC_SRC_FILES_BROWSE, m_btnBrowseFiles);
    DDX_Control(pDX, IDC_SRC_MODE_FOLDER, m_chkFolder);
    DDX_Control(pDX, IDC_SRC_MODE_FILES, m_chkFiles);
    DDX_Text(pDX, IDC_SRC_FOLDER_EDIT, m_strSrcFolderSite);
    DDX_Text(pDX, IDC_SRC_FILES_EDIT, m_strSrcFileSite);
}

BOOL CSourceDlg::OnInitDialog()
{
    SetUpFrame(IDB_SOURCE_BACKGROUND);
    SetUpTextButton(m_btnOk, 110, 178);
    SetUpTextButton(m_btnCancel, 220, 178);
    SetUpBrowseButton(m_btnBrowseFolder, 328, 93);
    SetUpBrowseButton(m_btnBrowseFiles, 328, 132);
    // The check boxes keep their template places.
    SetUpCheckBox(m_chkFolder);
    SetUpCheckBox(m_chkFiles);
    m_chkFolder.SetCheck(m_nSrcFileType == 0);
    m_chkFiles.SetCheck(m_nSrcFileType != 0);
    PlaceControl(IDC_SRC_FOLDER_EDIT, 75, 95, 245, 13);
    PlaceControl(IDC_SRC_FILES_EDIT, 75, 135, 245, 13);
    return TRUE;
}

bool CSourceDlg::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    static const MessageMap<CSourceDlg> kMap{
        OnCommand(IDC_SRC_FOLDER_BROWSE, &CSourceDlg::OnBrowseFolder),
        OnCommand(IDC_SRC_FILES_BROWSE, &CSourceDlg::OnBrowseFiles),
        OnCommand(IDC_SRC_MODE_FOLDER, &CSourceDlg::OnModeFolder),
        OnCommand(IDC_SRC_MODE_FILES, &CSourceDlg::OnModeFiles),
    };
    return kMap.Dispatch(*this, message, wParam, lParam, result) ||
           CSetupDlg::OnWndMsg(message, wParam, lParam, result);
}

void CSourceDlg::OnModeFolder()
{
    m_chkFolder.SetCheck(TRUE);
    m_chkFiles.SetCheck(FALSE);
}

void CSourceDlg::OnModeFiles()
{
    m_chkFiles.SetCheck(TRUE);
    m_chkFolder.SetCheck(FALSE);
}

int CSourceDlg::BrowseCallbackProc(HWND window, UINT message, LPARAM, LPARAM)
{
    if (message == BFFM_INITIALIZED && !s_strBrowseFolder.empty())
        ::SendMessageA(window, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(s_strBrowseFolder.c_str()));
    return 0;
}

void CSourceDlg::OnBrowseFolder()
{
    UpdateData(TRUE);
    s_strBrowseFolder = m_strSrcFolderSite;
    std::optional<std::string> folder = BrowseForFolder(m_hWnd, BIF_RETURNONLYFSDIRS, BrowseCallbackProc);
    if (!folder)
        return;
    m_strSrcFolderSite = *folder;
    s_strBrowseFolder = *folder;
    UpdateData(FALSE);
}

void CSourceDlg::OnBrowseFiles()
{
    UpdateData(TRUE);
    CFileDialog chooser(TRUE, nullptr, nullptr, OFN_ALLOWMULTISELECT | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                        IMAGE_FILE_FILTER);
    std::string startFolder;
    if (m_strSrcFileSite.empty()) {
        startFolder = ExeFolderForChooser();
        chooser.m_ofn.lpstrInitialDir = startFolder.c_str();
    }
    if (chooser.DoModal() != IDOK)
        return;
    m_strSrcFileSite.clear();
    for (POSITION position = chooser.GetStartPosition(); position;)
        m_strSrcFileSite += chooser.GetNextPathName(position) + ";";
    UpdateData(FALSE);
}

void CSourceDlg::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    m_nSrcFileType = m_chkFolder.GetCheck() ? 0 : 1;
    // Only the field of the chosen mode must hold something; it goes back untrimmed.
    if (m_nSrcFileType == 0 && IsTrimmedEmpty(m_strSrcFolderSite)) {
        ::SetFocus(GetDlgItem(IDC_SRC_FOLDER_EDIT));
        return;
    }
    if (m_nSrcFileType == 1 && IsTrimmedEmpty(m_strSrcFileSite)) {
        ::SetFocus(GetDlgItem(IDC_SRC_FILES_EDIT));
        return;
    }
    CSetupDlg::OnOK();
}
