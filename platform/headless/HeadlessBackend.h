// The headless back end: a virtual clock, synthetic input, readable surfaces, and scripted and
// recorded native parts (choosers, message box, popup menus, opened addresses, the web view).
//
// Input and clock steps are queued and run in order by Run(), or by any modal loop that waits
// (a dialog's loop, the caption move loop), so a test queues a whole gesture and then runs it:
//     backend.MoveMouse(40, 10).PressLeft().MoveMouse(90, 60).ReleaseLeft();
//     backend.Run();
// A modal loop that finds the queue empty asks the idle script; without one the loop gives up
// (the back end stalls), which ends a dialog with -1 and a move loop where the cursor is.
#pragma once

#include "platform/Backend.h"
#include "platform/WindowSystem.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class HeadlessBackend final : public Backend {
public:
    struct MessageBoxCall {
        HWND owner;
        std::string text;
        std::string caption;
        UINT type;
    };
    struct MenuCall {
        std::vector<MenuItem> items;  // as shown: flags tell greyed items
        POINT point;
        HWND owner;
    };

    // ---- Backend ----
    void Attach(WindowSystem& system) override { m_System = &system; }
    uint64_t Now() override { return m_Now; }
    WaitResult WaitForEvents(uint64_t deadline) override;
    void Wake() override;
    void TopLevelCreated(HWND, const Surface&) override {}
    void TopLevelChanged(HWND, TopLevelChange change) override { m_TopLevelChanges.push_back(change); }
    void SurfaceUpdated(HWND, const RECT&) override { ++m_SurfaceUpdates; }
    void TopLevelDestroyed(HWND) override {}
    void NativeChildChanged(HWND, NativeChildKind) override {}
    void NativeChildDestroyed(HWND) override {}
    void WebNavigate(HWND webView, const std::string& url) override { navigations.push_back({webView, url}); }
    void CaptureChanged(HWND) override {}
    void SetCursorShape(CursorShape shape) override { cursor = shape; }
    bool BeginMoveDrag(HWND, POINT) override { return false; }
    RECT WorkArea() override { return workArea; }
    int MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) override;
    std::optional<std::vector<std::string>> ChooseFiles(const FileChooserRequest& request) override;
    std::optional<std::string> ChooseFolder(const FolderChooserRequest& request) override;
    UINT TrackPopupMenu(HMENU menu, POINT screenPoint, HWND owner) override;
    bool OpenAddress(const std::string& address) override;

    // ---- Queued input and time (screen pixels) ----
    HeadlessBackend& MoveMouse(int x, int y);
    HeadlessBackend& PressLeft();
    HeadlessBackend& ReleaseLeft();
    HeadlessBackend& PressRight();
    HeadlessBackend& ReleaseRight();
    HeadlessBackend& Click(int x, int y);  // move, press, release
    // MK_SHIFT and MK_CONTROL held from here on (0: none).
    HeadlessBackend& SetModifiers(UINT modifiers);
    HeadlessBackend& PressKey(int virtualKey);  // down and up
    HeadlessBackend& Type(const std::string& utf8);
    // Moves the virtual clock, firing every timer tick it passes in order.
    HeadlessBackend& Advance(uint64_t milliseconds);
    HeadlessBackend& Then(std::function<void()> step);

    // Runs the queue and all pending work until both are done.
    void Run();
    // Runs like Run(), then keeps waiting (real time) for other threads' work until `done`.
    bool RunUntil(const std::function<bool()>& done, int realTimeoutMs);
    // Called when a modal loop finds the queue empty; answers whether it queued more.
    std::function<bool()> onIdle;

    // ---- Reading what was shown ----
    // A pixel of a top-level window's surface (window pixels) as 0x00RRGGBB.
    uint32_t Pixel(HWND window, int x, int y) const;
    // A pixel of the screen: the topmost visible window whose shape holds it.
    uint32_t ScreenPixel(int x, int y) const { return m_System->ScreenPixel(x, y, kDesktop); }
    int Stalls() const { return m_Stalls; }
    int SurfaceUpdates() const { return m_SurfaceUpdates; }
    const std::vector<TopLevelChange>& TopLevelChanges() const { return m_TopLevelChanges; }

    static constexpr uint32_t kDesktop = 0x3A6EA5;

    // ---- Scripts and records of the native parts ----
    std::deque<int> messageBoxAnswers;  // default IDOK
    std::vector<MessageBoxCall> messageBoxes;
    std::deque<std::optional<std::vector<std::string>>> fileChoices;  // default: cancelled
    std::vector<FileChooserRequest> fileRequests;
    std::deque<std::optional<std::string>> folderChoices;  // default: cancelled
    std::vector<FolderChooserRequest> folderRequests;
    std::deque<UINT> menuChoices;  // default: dismissed
    std::vector<MenuCall> menus;
    std::vector<std::string> openedAddresses;
    bool openSucceeds = true;
    std::vector<std::pair<HWND, std::string>> navigations;
    CursorShape cursor = CursorShape::Arrow;
    RECT workArea = {0, 0, kDisplayWidth, kDisplayHeight - 40};

private:
    HeadlessBackend& Queue(std::function<void()> item);
    bool RunNextItem();
    void AdvanceNow(uint64_t milliseconds);

    WindowSystem* m_System = nullptr;
    uint64_t m_Now = 0;
    UINT m_Modifiers = 0;
    std::deque<std::function<void()>> m_Queue;
    int m_Stalls = 0;
    int m_SurfaceUpdates = 0;
    std::vector<TopLevelChange> m_TopLevelChanges;

    std::mutex m_WakeMutex;
    std::condition_variable m_WakeSignal;
    bool m_WakePending = false;
};
