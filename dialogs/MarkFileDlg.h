// CMarkFileDlg: chooses the watermark picture: one field and a single-file chooser.
#pragma once

#include "dialogs/SetupDlg.h"
#include "platform/Edit.h"
#include "skin/SkinButton.h"

#include <string>

class CMarkFileDlg : public CSetupDlg {
public:
    explicit CMarkFileDlg(CWnd* parent = nullptr);

    // Exchanged with the caller; OK hands back whatever the field holds, empty included.
    std::string m_strWaterMarkFileSite;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    void OnBrowseMarkFile();

private:
    CSkinButton m_btnOk;
    CSkinButton m_btnCancel;
    CSkinButton m_btnBrowse;
    CEdit m_edtMarkFile;
};
