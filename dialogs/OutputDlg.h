// COutputDlg: chooses the folder the results are written to: one field and the folder chooser.
#pragma once

#include "dialogs/SetupDlg.h"
#include "skin/SkinButton.h"

#include <string>

class COutputDlg : public CSetupDlg {
public:
    explicit COutputDlg(CWnd* parent = nullptr);

    // Exchanged with the caller; OK hands back whatever the field holds, empty included.
    std::string m_strOutputFolderSite;

    // The folder the folder chooser starts on, set afresh before every use.
    static std::string s_strBrowseFolder;
    // The folder chooser's callback: preselects s_strBrowseFolder once the chooser is up.
    static int BrowseCallbackProc(HWND window, UINT message, LPARAM parameter, LPARAM data);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    void OnBrowseFolder();

private:
    CSkinButton m_btnOk;
    CSkinButton m_btnCancel;
    CSkinButton m_btnBrowse;
};
