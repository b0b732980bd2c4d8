// The headless back end: queued synthetic input, the virtual clock, scripted native parts.
#include "platform/headless/HeadlessBackend.h"

#include "platform/base/Utf8.h"

#include <chrono>

HeadlessBackend& HeadlessBackend::Queue(std::function<void()> item)
{
    m_Queue.push_back(std::move(item));
    return *this;
}

HeadlessBackend& HeadlessBackend::MoveMouse(int x, int y)
{
    return Queue([this, x, y] { m_System->MouseMove({x, y}, m_Modifiers); });
}

HeadlessBackend& HeadlessBackend::PressLeft()
{
    return Queue([this] { m_System->MouseButtonEvent(MouseButton::Left, true, m_System->CursorPos(), m_Modifiers); });
}

HeadlessBackend& HeadlessBackend::ReleaseLeft()
{
    return Queue([this] { m_System->MouseButtonEvent(MouseButton::Left, false, m_System->CursorPos(), m_Modifiers); });
}

HeadlessBackend& HeadlessBackend::PressRight()
{
    return Queue([this] { m_System->MouseButtonEvent(MouseButton::Right, true, m_System->CursorPos(), m_Modifiers); });
}

HeadlessBackend& HeadlessBackend::ReleaseRight()
{
    return Queue([this] { m_System->MouseButtonEvent(MouseButton::Right, false, m_System->CursorPos(), m_Modifiers); });
}

HeadlessBackend& HeadlessBackend::Click(int x, int y)
{
    return MoveMouse(x, y).PressLeft().ReleaseLeft();
}

HeadlessBackend& HeadlessBackend::SetModifiers(UINT modifiers)
{
    return Queue([this, modifiers] { m_Modifiers = modifiers; });
}

HeadlessBackend& HeadlessBackend::PressKey(int virtualKey)
{
    Queue([this, virtualKey] { m_System->KeyEvent(virtualKey, true); });
    return Queue([this, virtualKey] { m_System->KeyEvent(virtualKey, false); });
}

HeadlessBackend& HeadlessBackend::Type(const std::string& utf8)
{
    return Queue([this, utf8] {
        for (size_t offset = 0; offset < utf8.size();)
            m_System->CharEvent(NextCodePoint(utf8, offset));
    });
}

HeadlessBackend& HeadlessBackend::Advance(uint64_t milliseconds)
{
    return Queue([this, milliseconds] { AdvanceNow(milliseconds); });
}

HeadlessBackend& HeadlessBackend::Then(std::function<void()> step)
{
    return Queue(std::move(step));
}

void HeadlessBackend::AdvanceNow(uint64_t milliseconds)
{
    uint64_t target = m_Now + milliseconds;
    for (;;) {
        m_System->RunUntilIdle();
        uint64_t due = m_System->NextTimerDue();
        if (due > target)
            break;
        if (due > m_Now)
            m_Now = due;
    }
    m_Now = target;
    m_System->RunUntilIdle();
}

bool HeadlessBackend::RunNextItem()
{
    if (m_Queue.empty())
        return false;
    auto item = std::move(m_Queue.front());
    m_Queue.pop_front();
    item();
    return true;
}

void HeadlessBackend::Run()
{
    for (;;) {
        m_System->RunUntilIdle();
        if (!RunNextItem())
            break;
    }
}

bool HeadlessBackend::RunUntil(const std::function<bool()>& done, int realTimeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(realTimeoutMs);
    for (;;) {
        m_System->RunUntilIdle();
        if (done())
            return true;
        if (RunNextItem())
            continue;
        // Other threads' progress is polled: only window-system work wakes the back end.
        if (std::chrono::steady_clock::now() >= deadline)
            return done();
        std::unique_lock lock(m_WakeMutex);
        m_WakeSignal.wait_for(lock, std::chrono::milliseconds(5), [&] { return m_WakePending; });
        m_WakePending = false;
    }
}

WaitResult HeadlessBackend::WaitForEvents(uint64_t)
{
    if (RunNextItem())
        return WaitResult::Events;
    {
        std::lock_guard lock(m_WakeMutex);
        if (m_WakePending) {
            m_WakePending = false;
            return WaitResult::Events;
        }
    }
    if (onIdle && onIdle() && RunNextItem())
        return WaitResult::Events;
    ++m_Stalls;
    return WaitResult::Stalled;
}

void HeadlessBackend::Wake()
{
    std::lock_guard lock(m_WakeMutex);
    m_WakePending = true;
    m_WakeSignal.notify_all();
}

int HeadlessBackend::MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type)
{
    messageBoxes.push_back({owner, text, caption, type});
    if (messageBoxAnswers.empty())
        return IDOK;
    int answer = messageBoxAnswers.front();
    messageBoxAnswers.pop_front();
    return answer;
}

std::optional<std::vector<std::string>> HeadlessBackend::ChooseFiles(const FileChooserRequest& request)
{
    fileRequests.push_back(request);
    if (fileChoices.empty())
        return std::nullopt;
    auto choice = fileChoices.front();
    fileChoices.pop_front();
    return choice;
}

std::optional<std::string> HeadlessBackend::ChooseFolder(const FolderChooserRequest& request)
{
    folderRequests.push_back(request);
    if (folderChoices.empty())
        return std::nullopt;
    auto choice = folderChoices.front();
    folderChoices.pop_front();
    return choice;
}

UINT HeadlessBackend::TrackPopupMenu(HMENU menu, POINT screenPoint, HWND owner)
{
    menus.push_back({menu ? menu->items : std::vector<MenuItem>{}, screenPoint, owner});
    if (menuChoices.empty())
        return 0;
    UINT choice = menuChoices.front();
    menuChoices.pop_front();
    return choice;
}

bool HeadlessBackend::OpenAddress(const std::string& address)
{
    openedAddresses.push_back(address);
    return openSucceeds;
}

uint32_t HeadlessBackend::Pixel(HWND window, int x, int y) const
{
    const Surface* surface = m_System->TopLevelSurface(window);
    return surface ? surface->Pixel(x, y) & 0xFFFFFF : 0;
}
