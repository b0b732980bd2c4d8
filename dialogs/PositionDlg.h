// CPositionDlg: sets the watermark's corner and its two margins, one row of a check box and two
// integer fields per corner, with Apply pushing the choice to the main window at once.
#pragma once

#include "dialogs/PositionApply.h"
#include "dialogs/SetupDlg.h"
#include "skin/SkinButton.h"
#include "skin/SkinCheckBox.h"

#include <array>
#include <cstdint>

class CPositionDlg : public CSetupDlg {
public:
    explicit CPositionDlg(CWnd* parent = nullptr);

    // Exchanged with the caller: the corner (0 to 3) and its margins.
    int32_t m_nPosType = 0;
    int32_t m_nPosX = 0;
    int32_t m_nPosY = 0;
    // Each corner's row: its horizontal and vertical margin field.
    std::array<int32_t, 4> m_nCornerX = {};
    std::array<int32_t, 4> m_nCornerY = {};

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    void OnApply();
    void OnCornerTopLeft() { CheckCorner(0); }
    void OnCornerTopRight() { CheckCorner(1); }
    void OnCornerBottomLeft() { CheckCorner(2); }
    void OnCornerBottomRight() { CheckCorner(3); }

private:
    void CheckCorner(int corner);
    // Reads the fields (the first refused one shows the integer message and stops everything),
    // then the corner from the boxes and that corner's margins. False when a field was refused.
    bool ReadChoice();

    CSkinButton m_btnOk;
    CSkinButton m_btnCancel;
    CSkinButton m_btnApply;
    std::array<CSkinCheckBox, 4> m_chkCorner;
};
