// CMainDlg's batch run: Start, the worker's body over BatchRun, the 10 ms poll that mirrors the
// status into label 1010 and announces the end, the notices, and stopping when the window
// closes.
#include "app/MainDlg.h"

#include "dialogs/NoticeDlg.h"
#include "platform/WindowSystem.h"

#include <chrono>

unsigned BatchThreadProc(void* parameter)
{
    static_cast<CMainDlg*>(parameter)->RunBatch();
    return 0;
}

void CMainDlg::OnStart()
{
    // A Start while a run is going starts no second run: the running one goes on and the
    // label keeps following it.
    if (IsRunActive() || m_Closing.load(std::memory_order_acquire))
        return;
    if (m_Worker.joinable())
        m_Worker.join();
    m_bRunDone.store(0, std::memory_order_release);
    {
        // The label keeps what it shows until the new run writes its first status.
        std::lock_guard lock(m_RunStatusLock);
        m_strRunStatus = m_strStatusText;
    }
    // The run works on a copy of the settings taken now, so the set-up dialogs can change
    // them meanwhile.
    BatchObserver* observer = this;
    m_Run = std::make_unique<BatchRun>(m_Settings, observer);
    m_RunActive.store(true, std::memory_order_release);
    m_Worker = std::thread(BatchThreadProc, this);
    SetTimer(kBatchTimer, 10);
}

void CMainDlg::RunBatch()
{
    m_Run->RunBatch();
    if (m_Run->IsDone())
        m_bRunDone.store(1, std::memory_order_release);
    m_RunActive.store(false, std::memory_order_release);
    // A user-interface thread waiting for the run to end (StopRun) looks again.
    if (WindowSystem* system = WindowSystem::CurrentOrNull())
        system->GetBackend().Wake();
}

void CMainDlg::PollBatch()
{
    if (m_bRunDone.load(std::memory_order_acquire) != 0) {
        KillTimer(kBatchTimer);
        UpdateData(TRUE);
        m_strStatusText = kRunFinished;
        UpdateData(FALSE);
        ShowNotice(kRunFinished);
        return;
    }
    std::string status = GetRunStatus();
    if (m_strStatusText != status) {
        m_strStatusText = std::move(status);
        UpdateData(FALSE);
    }
}

std::string CMainDlg::GetRunStatus() const
{
    std::lock_guard lock(m_RunStatusLock);
    return m_strRunStatus;
}

void CMainDlg::OnStatus(const std::string& status, int, int)
{
    std::lock_guard lock(m_RunStatusLock);
    m_strRunStatus = status;
}

void CMainDlg::OnMissingSetting(const std::string& message)
{
    // While the window closes nobody is left to read the notice.
    if (m_Closing.load(std::memory_order_acquire))
        return;
    ShowNotice(message);
}

void CMainDlg::ShowNotice(const std::string& message)
{
    WindowSystem* system = WindowSystem::CurrentOrNull();
    if (!system)
        return;
    // The notice is built, run and destroyed on the user-interface thread; a worker waits
    // here until it is closed. Without a parent it is owned by the main window, which stays
    // disabled meanwhile.
    system->InvokeOnUiThread([&] {
        CNoticeDlg notice;
        notice.m_strMessage = message;
        notice.DoModal();
    });
}

void CMainDlg::StopRun()
{
    m_Closing.store(true, std::memory_order_release);
    if (m_hWnd && IsWindow(m_hWnd))
        KillTimer(kBatchTimer);
    if (m_Run)
        m_Run->RequestStop();
    WindowSystem* system = WindowSystem::CurrentOrNull();
    if (system && system->IsUiThread()) {
        // The worker may be waiting for the user-interface thread (a notice): keep serving
        // its queue until the worker has returned.
        while (IsRunActive()) {
            if (!system->PumpOne(true))
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    if (m_Worker.joinable())
        m_Worker.join();
}

void CMainDlg::OnCancel()
{
    StopRun();
    CSkinDlg::OnCancel();
}
