// CMainDlg: the main window: the job settings, the skinned controls, the preview painted while
// erasing, the set-up commands and the batch run with its status label.
#pragma once

#include "batch/BatchRun.h"
#include "batch/JobSettings.h"
#include "batch/MarkComposer.h"
#include "feed/FeedInfo.h"
#include "feed/WebBrowser2.h"
#include "skin/ScrollText.h"
#include "skin/SkinButton.h"
#include "skin/SkinDlg.h"
#include "skin/SkinLabel.h"
#include "skin/SkinLink.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

// The preview rectangle inside the background, client pixels.
constexpr RECT kPreviewRect = {28, 41, 667, 502};
// Where the default picture (bitmap 155) stands.
constexpr POINT kDefaultPicturePlace = {29, 40};
// The part of the window a confirmed set-up dialog repaints.
constexpr RECT kSetupRepaintRect = {100, 100, 600, 500};
// The timers of the main window.
constexpr UINT_PTR kFeedTimer = 1;
constexpr UINT_PTR kBatchTimer = 2;

// Worker entry of a batch run; `parameter` is the main window.
unsigned BatchThreadProc(void* parameter);

class CMainDlg : public CSkinDlg, private BatchObserver {
public:
    explicit CMainDlg(CWnd* parent = nullptr);
    ~CMainDlg() override;

    BOOL OnInitDialog() override;
    // Enter never closes the main window.
    void OnOK() override {}
    // Esc, the close button and the system menu's close: a running batch stops after its
    // current file and is joined before the window goes.
    void OnCancel() override;

    RECT GetCloseButtonRect() override;
    void DrawOverlay(CDC* pMemDC) override;

    void SetupSkin();
    // Starts the feed worker on a share of m_Feed; the window never waits for it.
    void StartFeed();
    // Shows the feed once it has arrived, then stops timer 1.
    void ApplyFeed();

    // The batch run: the worker's body and the user-interface thread's poll (timer 2).
    void RunBatch();
    void PollBatch();
    // True from Start until the worker has returned.
    bool IsRunActive() const { return m_RunActive.load(std::memory_order_acquire); }

    // Members in the design's order.
    JobSettings m_Settings;
    std::shared_ptr<FeedInfo> m_Feed = std::make_shared<FeedInfo>();
    CMarkComposer m_Composer;
    std::atomic<int32_t> m_bRunDone{0};
    std::string m_strRunStatus;  // written by the worker under m_RunStatusLock
    CSkinLink m_DownloadLink;
    CScrollText m_ScrollText;
    CSkinLabel m_StatusLabel;
    CSkinButton m_BtnStart;
    CSkinButton m_BtnPosition;
    CSkinButton m_BtnOutput;
    CSkinButton m_BtnMarkFile;
    CSkinButton m_BtnSource;
    CSkinButton m_BtnHome;
    CSkinButton m_BtnHelp;
    CSkinButton m_BtnAbout;
    CSkinLabel m_VersionLabel;
    CWebBrowser2 m_AdBrowser;
    std::string m_strStatusText;
    std::string m_strVersionText;
    HICON m_hIcon = nullptr;
    // How the feed worker fetches (tests point it at their own server).
    FeedFetchPolicy m_FeedPolicy;
    bool m_bFeedShown = false;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    void OnPaint();
    HICON OnQueryDragIcon();
    void OnTimer(UINT_PTR nIDEvent);
    BOOL OnEraseBkgnd(CDC* pDC);
    void OnSource();
    void OnMarkFile();
    void OnOutput();
    void OnPosition();
    void OnStart();
    void OnHomePage();
    void OnHelpPage();
    void OnAbout();
    // WM_APPLY_POSITION from the position dialog's Apply: wParam 1, lParam a PositionApply
    // record, which this handler frees.
    LRESULT OnApplyPosition(WPARAM wParam, LPARAM lParam);

private:
    // The preview's source: the first picture of the folder, or the first listed file.
    bool FindPreviewSource(std::string& source) const;
    // Shows a notice box owned by the main window (from any thread; the caller waits).
    void ShowNotice(const std::string& message);
    // Asks a running batch to stop after its current file and waits for its worker, serving
    // the user-interface queue meanwhile so that a notice it shows can still be closed.
    void StopRun();
    std::string GetRunStatus() const;

    // BatchObserver, called on the worker thread.
    void OnMissingSetting(const std::string& message) override;
    void OnStatus(const std::string& status, int index, int total) override;
    void OnFileDone(const WatermarkJob&, ComposeResult) override {}

    bool m_bFirstErase = true;
    // True while the window paints itself into another DC for WM_PRINT.
    bool m_bPrinting = false;
    // Set by the first erase of the window on the screen.
    bool m_bScreenPainted = false;
    mutable std::mutex m_RunStatusLock;
    std::unique_ptr<BatchRun> m_Run;
    std::thread m_Worker;
    std::atomic<bool> m_RunActive{false};
    // Set when the window closes: no new run, no more notices.
    std::atomic<bool> m_Closing{false};
};
