// CSourceDlg: chooses which pictures a run processes: every picture of one folder, or a
// hand-picked list of files.
#pragma once

#include "dialogs/SetupDlg.h"
#include "skin/SkinButton.h"
#include "skin/SkinCheckBox.h"

#include <cstdint>
#include <string>

class CSourceDlg : public CSetupDlg {
public:
    explicit CSourceDlg(CWnd* parent = nullptr);

    // Exchanged with the caller: 0 all pictures of a folder, 1 a list of files.
    int32_t m_nSrcFileType = 0;
    std::string m_strSrcFolderSite;
    // Full paths, each followed by ";".
    std::string m_strSrcFileSite;

    // The folder the folder chooser starts on, set afresh before every use.
    static std::string s_strBrowseFolder;
    // The folder chooser's callback: preselects s_strBrowseFolder once the chooser is up.
    static int BrowseCallbackProc(HWND window, UINT message, LPARAM parameter, LPARAM data);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    void OnBrowseFolder();
    void OnBrowseFiles();
    void OnModeFolder();
    void OnModeFiles();

private:
    CSkinButton m_btnOk;
    CSkinButton m_btnCancel;
    CSkinButton m_btnBrowseFolder;
    CSkinButton m_btnBrowseFiles;
    CSkinCheckBox m_chkFolder;
    CSkinCheckBox m_chkFiles;
};
