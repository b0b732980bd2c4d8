// CPositionDlg: the corner rows, the integer exchange of the margins, OK and Apply.
#include "dialogs/PositionDlg.h"

#include "platform/DataExchange.h"
#include "platform/WindowSystem.h"
#include "res/ResourceIds.h"

namespace {

struct CornerRow {
    int check;
    int fieldX;
    int fieldY;
};

constexpr CornerRow kRows[4] = {
    {IDC_POS_CHECK_TOPLEFT, IDC_POS_X_TOPLEFT, IDC_POS_Y_TOPLEFT},
    {IDC_POS_CHECK_TOPRIGHT, IDC_POS_X_TOPRIGHT, IDC_POS_Y_TOPRIGHT},
    {IDC_POS_CHECK_BOTTOMLEFT, IDC_POS_X_BOTTOMLEFT, IDC_POS_Y_BOTTOMLEFT},
    {IDC_POS_CHECK_BOTTOMRIGHT, IDC_POS_X_BOTTOMRIGHT, IDC_POS_Y_BOTTOMRIGHT},
};

bool IsCorner(int32_t corner)
{
    return corner >= 0 && corner <= 3;
}

}  // namespace

CPositionDlg::CPositionDlg(CWnd* parent) : CSetupDlg(IDD_POSITION, parent, 8) {}

void CPositionDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDOK, m_btnOk);
    DDX_Control(pDX, IDCANCEL, m_btnCancel);
    DDX_Control(pDX, IDC_POS_APPLY, m_btnApply);
    for (int corner = 0; corner < 4; ++corner)
        DDX_Control(pDX, kRows[corner].check, m_chkCorner[corner]);
    // Row by row, horizontal before vertical: the first refused field stops the exchange.
    for (int corner = 0; corner < 4; ++corner) {
        DDX_Text(pDX, kRows[corner].fieldX, m_nCornerX[corner]);
        DDX_Text(pDX, kRows[corner].fieldY, m_nCornerY[corner]);
    }
}

BOOL CPositionDlg::OnInitDialog()
{
    SetUpFrame(IDB_POSITION_BACKGROUND);
    SetUpTextButton(m_btnOk, 80, 178);
    SetUpTextButton(m_btnCancel, 170, 178);
    SetUpTextButton(m_btnApply, 260, 178);
    for (int corner = 0; corner < 4; ++corner) {
        SetUpCheckBox(m_chkCorner[corner]);
        m_chkCorner[corner].SetWindowPos(nullptr, 50, 72 + 23 * corner, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
    if (IsCorner(m_nPosType)) {
        m_nCornerX[m_nPosType] = m_nPosX;
        m_nCornerY[m_nPosType] = m_nPosY;
        m_chkCorner[m_nPosType].SetCheck(TRUE);
    }
    for (int corner = 0; corner < 4; ++corner) {
        int y = 74 + 23 * corner;
        PlaceControl(kRows[corner].fieldX, 174, y, 25, 13);
        PlaceControl(kRows[corner].fieldY, 285, y, 25, 13);
    }
    UpdateData(FALSE);
    return TRUE;
}

bool CPositionDlg::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    static const MessageMap<CPositionDlg> kMap{
        OnCommand(IDC_POS_CHECK_TOPLEFT, &CPositionDlg::OnCornerTopLeft),
        OnCommand(IDC_POS_CHECK_TOPRIGHT, &CPositionDlg::OnCornerTopRight),
        OnCommand(IDC_POS_CHECK_BOTTOMLEFT, &CPositionDlg::OnCornerBottomLeft),
        OnCommand(IDC_POS_CHECK_BOTTOMRIGHT, &CPositionDlg::OnCornerBottomRight),
        OnCommand(IDC_POS_APPLY, &CPositionDlg::OnApply),
    };
    return kMap.Dispatch(*this, message, wParam, lParam, result) ||
           CSetupDlg::OnWndMsg(message, wParam, lParam, result);
}

void CPositionDlg::CheckCorner(int corner)
{
    for (int other = 0; other < 4; ++other)
        m_chkCorner[other].SetCheck(other == corner);
}

bool CPositionDlg::ReadChoice()
{
    if (!UpdateData(TRUE))
        return false;
    for (int corner = 0; corner < 4; ++corner)
        if (m_chkCorner[corner].GetCheck())
            m_nPosType = corner;
    if (IsCorner(m_nPosType)) {
        m_nPosX = m_nCornerX[m_nPosType];
        m_nPosY = m_nCornerY[m_nPosType];
    }
    return true;
}

void CPositionDlg::OnOK()
{
    if (ReadChoice())
        CSetupDlg::OnOK();
}

void CPositionDlg::OnApply()
{
    if (!ReadChoice())
        return;
    WindowSystem* system = WindowSystem::CurrentOrNull();
    CWnd* main = system ? system->GetMainWindow() : nullptr;
    if (!main || main == this || !IsWindow(main->m_hWnd))
        return;
    auto record = std::make_unique<PositionApply>(PositionApply{m_nPosType, m_nPosX, m_nPosY});
    // Sent, so the main window has the record before the dialog goes on; it answers TRUE when
    // it took the record.
    if (::SendMessageA(main->m_hWnd, WM_APPLY_POSITION, 1, reinterpret_cast<LPARAM>(record.get())))
        (void)record.release();
}
