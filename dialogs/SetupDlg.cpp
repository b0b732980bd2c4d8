// CSetupDlg: the shared frame set-up and the close button's place.
#include "dialogs/SetupDlg.h"

#include "res/ResourceIds.h"
#include "skin/SkinButton.h"
#include "skin/SkinCheckBox.h"
#include "skin/SkinLabel.h"

CSetupDlg::CSetupDlg(UINT templateId, CWnd* parent, int closeInset)
    : CSkinDlg(templateId, parent), m_CloseInset(closeInset)
{}

RECT CSetupDlg::GetCloseButtonRect()
{
    RECT standard = CSkinDlg::GetCloseButtonRect();
    int width = standard.right - standard.left;
    int height = standard.bottom - standard.top;
    if (width <= 0)
        return standard;
    RECT client;
    GetClientRect(&client);
    return {client.right - m_CloseInset - width, client.top + 1, client.right - m_CloseInset, client.top + 1 + height};
}

void CSetupDlg::SetUpFrame(UINT backgroundId)
{
    UseWindowRegion();
    CSkinDlg::OnInitDialog();
    SetBackgroundBitmap(backgroundId);
    SetCloseButtonBitmaps(IDB_CLOSE_NORMAL, IDB_CLOSE_HOVER, IDB_CLOSE_PRESSED);
    SetCaptionHeight(30);
    SetDragFullWindows(TRUE);
    ShowCaptionTitle(FALSE);
    CenterWindow();
}

void CSetupDlg::SetUpTextButton(CSkinButton& button, int x, int y)
{
    button.SetBitmaps(IDB_GREY_NORMAL, IDB_GREY_HOVER, IDB_GREY_PRESSED, IDB_GREY_PRESSED, 0x1000000, 0);
    button.ShowText(TRUE);
    button.SetWindowPos(nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void CSetupDlg::SetUpBrowseButton(CSkinButton& button, int x, int y)
{
    button.SetBitmaps(IDB_BROWSE_NORMAL, IDB_BROWSE_HOVER, IDB_BROWSE_PRESSED, IDB_BROWSE_PRESSED, 0x1000000, 0);
    button.SetWindowPos(nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void CSetupDlg::SetUpCheckBox(CSkinCheckBox& box)
{
    box.SetBitmaps(IDB_CHECK_OFF, IDB_CHECK_ON);
}

void CSetupDlg::SetUpPanelLabel(CSkinLabel& label)
{
    label.SetBackground(RGB(38, 77, 77), RGB(38, 77, 77), 0x1000000, 0);
    label.SetTextColor(RGB(255, 255, 255));
}

void CSetupDlg::PlaceControl(int id, int x, int y, int width, int height)
{
    ::SetWindowPos(GetDlgItem(id), nullptr, x, y, width, height, SWP_NOZORDER);
}
