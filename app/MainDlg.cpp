// CMainDlg: construction, data exchange, the message map, initialisation, the minimised icon
// and the set-up, web page and about commands.
#include "app/MainDlg.h"

#include "feed/FeedAddress.h"
#include "platform/DataExchange.h"
#include "platform/WindowSystem.h"
#include "res/ResourceIds.h"

#include <cstdio>

CMainDlg::CMainDlg(CWnd* parent) : CSkinDlg(IDD_MAIN, parent)
{
    m_hIcon = LoadIconA(AfxGetResourceHandle(), IDI_MAINFRAME);
}

CMainDlg::~CMainDlg()
{
    // Normally the run was stopped when the window closed; this covers a window that went
    // another way.
    StopRun();
    if (m_hIcon)
        DestroyIcon(m_hIcon);
}

void CMainDlg::DoDataExchange(CDataExchange* pDX)
{
    CSkinDlg::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_STATIC_STATUS, m_StatusLabel);
    DDX_Control(pDX, IDC_BTN_START, m_BtnStart);
    DDX_Control(pDX, IDC_BTN_POSITION, m_BtnPosition);
    DDX_Control(pDX, IDC_BTN_OUTPUT, m_BtnOutput);
    DDX_Control(pDX, IDC_BTN_MARKFILE, m_BtnMarkFile);
    DDX_Control(pDX, IDC_BTN_SOURCE, m_BtnSource);
    DDX_Control(pDX, IDC_BTN_HOME, m_BtnHome);
    DDX_Control(pDX, IDC_BTN_HELP, m_BtnHelp);
    DDX_Control(pDX, IDC_BTN_ABOUT, m_BtnAbout);
    DDX_Control(pDX, IDC_STATIC_VERSION, m_VersionLabel);
    DDX_Control(pDX, IDC_WEB_AD, m_AdBrowser);
    DDX_Text(pDX, IDC_STATIC_STATUS, m_strStatusText);
    DDX_Text(pDX, IDC_STATIC_VERSION, m_strVersionText);
}

bool CMainDlg::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    static const MessageMap<CMainDlg> kMap{
        OnPlain(WM_PAINT, &CMainDlg::OnPaint),
        OnWmQueryDragIcon(&CMainDlg::OnQueryDragIcon),
        OnWmTimer(&CMainDlg::OnTimer),
        OnCommand(IDC_BTN_SOURCE, &CMainDlg::OnSource),
        OnCommand(IDC_BTN_MARKFILE, &CMainDlg::OnMarkFile),
        OnCommand(IDC_BTN_OUTPUT, &CMainDlg::OnOutput),
        OnCommand(IDC_BTN_POSITION, &CMainDlg::OnPosition),
        OnCommand(IDC_BTN_START, &CMainDlg::OnStart),
        OnCommand(IDC_BTN_HOME, &CMainDlg::OnHomePage),
        OnCommand(IDC_BTN_HELP, &CMainDlg::OnHelpPage),
        OnCommand(IDC_BTN_ABOUT, &CMainDlg::OnAbout),
        OnWmEraseBkgnd(&CMainDlg::OnEraseBkgnd),
    };
    return kMap.Dispatch(*this, message, wParam, lParam, result) || CSkinDlg::OnWndMsg(message, wParam, lParam, result);
}

BOOL CMainDlg::OnInitDialog()
{
    UseWindowRegion();
    CSkinDlg::OnInitDialog();
    m_Settings.LoadFromIni();
    SetupSkin();
    StartFeed();
    SetTimer(kFeedTimer, 10);
    SetWindowPos(nullptr, 0, 0, 800, 600, SWP_NOMOVE);
    CenterWindow();
    return TRUE;
}

void CMainDlg::OnPaint()
{
    if (!IsIconic()) {
        Default();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    int iconWidth = GetSystemMetrics(SM_CXICON);
    int iconHeight = GetSystemMetrics(SM_CYICON);
    RECT client;
    GetClientRect(&client);
    int x = (client.right - client.left - iconWidth + 1) / 2;
    int y = (client.bottom - client.top - iconHeight + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon, iconWidth, iconHeight);
}

HICON CMainDlg::OnQueryDragIcon()
{
    return m_hIcon;
}

void CMainDlg::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == kFeedTimer)
        ApplyFeed();
    else if (nIDEvent == kBatchTimer)
        PollBatch();
    CSkinDlg::OnTimer(nIDEvent);
}

void CMainDlg::OnSource()
{
    // FIXME: CSourceDlg (the source selection dialog) is wired here when it exists.
}

void CMainDlg::OnMarkFile()
{
    // FIXME: CMarkFileDlg is wired here when it exists.
}

void CMainDlg::OnOutput()
{
    // FIXME: COutputDlg is wired here when it exists.
}

void CMainDlg::OnPosition()
{
    // FIXME: CPositionDlg is wired here when it exists.
}

void CMainDlg::OnHomePage()
{
    ShellExecuteA(m_hWnd, nullptr, kHomePageUrl, nullptr, nullptr, SW_SHOWNORMAL);
}

void CMainDlg::OnHelpPage()
{
    ShellExecuteA(m_hWnd, nullptr, kHelpPageUrl, nullptr, nullptr, SW_SHOWNORMAL);
}

void CMainDlg::OnAbout()
{
    // FIXME: CAboutDlg is wired here when it exists.
}
