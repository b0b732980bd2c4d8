// CMainDlg's look: the skin set-up that turns template 102 into the 800 x 600 bitmap window,
// the close button's place and the banner painted over every frame.
#include "app/MainDlg.h"

#include "res/ResourceIds.h"
#include "skin/SkinDraw.h"

namespace {

constexpr DWORD kFaceFill = 0x1000000;
constexpr int kCommandBarX = 685;
constexpr POINT kBannerPlace = {338, 544};

void MoveKeepingSize(CWnd& control, int x, int y)
{
    control.SetWindowPos(nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

}  // namespace

void CMainDlg::SetupSkin()
{
    SetBackgroundBitmap(IDB_MAIN_BACKGROUND);
    SetCloseButtonBitmaps(IDB_CLOSE_NORMAL, IDB_CLOSE_HOVER, IDB_CLOSE_PRESSED);
    SetMinimizeButtonBitmaps(IDB_MINIMIZE_NORMAL, IDB_MINIMIZE_HOVER, IDB_MINIMIZE_PRESSED);
    SetCaptionHeight(30);
    SetDragFullWindows(TRUE);
    ShowCaptionTitle(FALSE);
    SetCaptionIcon(m_hIcon, FALSE);

    struct Bar {
        CSkinButton& button;
        int y;
    };
    const Bar bars[] = {
        {m_BtnSource, 115}, {m_BtnMarkFile, 166}, {m_BtnOutput, 218}, {m_BtnPosition, 270}, {m_BtnStart, 322}};
    for (const Bar& bar : bars) {
        bar.button.SetBitmaps(IDB_BAR_NORMAL, IDB_BAR_HOVER, IDB_BAR_PRESSED, IDB_BAR_PRESSED, kFaceFill, 0);
        bar.button.ShowText(TRUE);
    }
    for (const Bar& bar : bars)
        MoveKeepingSize(bar.button, kCommandBarX, bar.y);

    m_BtnAbout.SetBitmaps(IDB_ABOUT_NORMAL, IDB_ABOUT_HOVER, IDB_ABOUT_PRESSED, IDB_ABOUT_PRESSED, kFaceFill, 0);
    m_BtnHelp.SetBitmaps(IDB_HELP_NORMAL, IDB_HELP_HOVER, IDB_HELP_PRESSED, IDB_HELP_PRESSED, kFaceFill, 0);
    m_BtnHome.SetBitmaps(IDB_HOME_NORMAL, IDB_HOME_HOVER, IDB_HOME_PRESSED, IDB_HOME_PRESSED, kFaceFill, 0);
    MoveKeepingSize(m_BtnAbout, 580, 543);
    MoveKeepingSize(m_BtnHelp, 650, 543);
    MoveKeepingSize(m_BtnHome, 720, 543);

    m_ScrollText.Create(nullptr, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, {6, 519, 794, 541}, this, 0xFFFF);
    m_ScrollText.SetBackColors(0x262626, 0x262626, 0);
    m_ScrollText.SetTextColors(0xFFFFFF, 0xFFFFFF);
    m_ScrollText.SetSpeed(80);

    m_VersionLabel.SetBackground(0x00FF00, 0x00FF00, kFaceFill, 0);
    m_VersionLabel.SetTextColor(0xFFFFFF);
    MoveKeepingSize(m_VersionLabel, 700, 460);

    m_StatusLabel.SetBackground(0x000000, 0x000000, kFaceFill, 0);
    m_StatusLabel.SetTextColor(0xFFFFFF);
    MoveKeepingSize(m_StatusLabel, 694, 380);

    // Parked outside the window until the feed names an advertisement page.
    m_AdBrowser.SetWindowPos(nullptr, -1000, -1000, 227, 53, SWP_NOZORDER);
    m_AdBrowser.ShowWindow(SW_SHOW);
}

RECT CMainDlg::GetCloseButtonRect()
{
    // The base rectangle, one pixel below the client top instead of five.
    RECT rect = CSkinDlg::GetCloseButtonRect();
    if (rect.right - rect.left <= 0)
        return rect;
    RECT client;
    GetClientRect(&client);
    int height = rect.bottom - rect.top;
    rect.top = client.top + 1;
    rect.bottom = rect.top + height;
    return rect;
}

void CMainDlg::DrawOverlay(CDC* pMemDC)
{
    CBitmap banner;
    if (!banner.LoadBitmap(IDB_BANNER))
        return;
    CSkinDraw().DrawBitmap(pMemDC, &banner, kBannerPlace.x, kBannerPlace.y);
}
