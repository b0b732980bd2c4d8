// CMainDlg: construction, data exchange, the message map, initialisation, the minimised icon
// and the set-up, web page and about commands.
#include "app/MainDlg.h"

#include "dialogs/AboutDlg.h"
#include "dialogs/MarkFileDlg.h"
#include "dialogs/OutputDlg.h"
#include "dialogs/PositionApply.h"
#include "dialogs/PositionDlg.h"
#include "dialogs/SourceDlg.h"
#include "feed/FeedAddress.h"
#include "platform/DataExchange.h"
#include "platform/WindowSystem.h"
#include "res/ResourceIds.h"

#include <cstdio>
#include <utility>

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
        OnMessage(WM_APPLY_POSITION, &CMainDlg::OnApplyPosition),
    };
    if (message == WM_PRINT) {
        // A capture of the window is no copy of the window to the screen.
        bool wasPrinting = std::exchange(m_bPrinting, true);
        if (!CSkinDlg::OnWndMsg(message, wParam, lParam, result))
            *result = Default();
        m_bPrinting = wasPrinting;
        return true;
    }
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

// The set-up commands hand the dialog the current values and take them back only on OK; the
// settings are then saved whole and the preview part of the window repainted.
void CMainDlg::OnSource()
{
    CSourceDlg dialog;
    dialog.m_nSrcFileType = m_Settings.SrcFileType;
    dialog.m_strSrcFolderSite = m_Settings.SrcFolderSite;
    dialog.m_strSrcFileSite = m_Settings.SrcFileSite;
    if (dialog.DoModal() != IDOK)
        return;
    m_Settings.SrcFileType = dialog.m_nSrcFileType;
    m_Settings.SrcFolderSite = dialog.m_strSrcFolderSite;
    m_Settings.SrcFileSite = dialog.m_strSrcFileSite;
    m_Settings.SaveToIni();
    InvalidateRect(&kSetupRepaintRect, TRUE);
}

void CMainDlg::OnMarkFile()
{
    CMarkFileDlg dialog;
    dialog.m_strWaterMarkFileSite = m_Settings.WaterMarkFileSite;
    if (dialog.DoModal() != IDOK)
        return;
    m_Settings.WaterMarkFileSite = dialog.m_strWaterMarkFileSite;
    m_Settings.SaveToIni();
    InvalidateRect(&kSetupRepaintRect, TRUE);
}

void CMainDlg::OnOutput()
{
    // The output folder does not show in the preview: nothing is repainted.
    COutputDlg dialog;
    dialog.m_strOutputFolderSite = m_Settings.OutputFolderSite;
    if (dialog.DoModal() != IDOK)
        return;
    m_Settings.OutputFolderSite = dialog.m_strOutputFolderSite;
    m_Settings.SaveToIni();
}

void CMainDlg::OnPosition()
{
    CPositionDlg dialog;
    dialog.m_nPosType = m_Settings.PosType;
    dialog.m_nPosX = m_Settings.PosX;
    dialog.m_nPosY = m_Settings.PosY;
    if (dialog.DoModal() != IDOK)
        return;
    m_Settings.PosType = dialog.m_nPosType;
    m_Settings.PosX = dialog.m_nPosX;
    m_Settings.PosY = dialog.m_nPosY;
    m_Settings.SaveToIni();
    InvalidateRect(&kSetupRepaintRect, TRUE);
}

LRESULT CMainDlg::OnApplyPosition(WPARAM wParam, LPARAM lParam)
{
    if (wParam != 1 || lParam == 0)
        return 0;
    // Answering TRUE tells the sender that the record is ours and freed here.
    std::unique_ptr<PositionApply> record = TakePositionApply(lParam);
    m_Settings.PosType = record->PosType;
    m_Settings.PosX = record->PosX;
    m_Settings.PosY = record->PosY;
    // Applied values live in memory only: config.ini gets them with the next confirmed dialog.
    Invalidate(TRUE);
    return TRUE;
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
    CAboutDlg dialog;
    dialog.DoModal();
}
