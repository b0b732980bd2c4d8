// A headless window system for a test: the back end to drive and a probe window class.
#pragma once

#include "platform/Wnd.h"
#include "platform/WindowSystem.h"
#include "platform/headless/HeadlessBackend.h"

#include <functional>
#include <map>
#include <memory>
#include <vector>

struct HeadlessDesktop {
    HeadlessDesktop()
    {
        auto owned = std::make_unique<HeadlessBackend>();
        backend = owned.get();
        system = std::make_unique<WindowSystem>(std::move(owned));
    }

    // Registers a bitmap resource filled with `colour`, with `key` painted at the listed points.
    void AddBitmap(UINT id, int width, int height, uint32_t colour,
                   const std::vector<std::pair<int, int>>& keyPoints = {}, uint32_t key = 0xFF00FF)
    {
        BitmapResource bitmap;
        bitmap.width = width;
        bitmap.height = height;
        bitmap.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), colour);
        for (auto [x, y] : keyPoints)
            bitmap.pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] = key;
        system->Resources().AddBitmap(id, std::move(bitmap));
    }

    HeadlessBackend* backend = nullptr;
    std::unique_ptr<WindowSystem> system;
};

// A window whose messages a test watches and answers.
class ProbeWindow : public CWnd {
public:
    std::vector<UINT> log;
    std::map<UINT, std::function<LRESULT(WPARAM, LPARAM)>> handlers;

    size_t Count(UINT message) const
    {
        size_t count = 0;
        for (UINT logged : log)
            count += logged == message;
        return count;
    }

protected:
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override
    {
        log.push_back(message);
        auto found = handlers.find(message);
        if (found == handlers.end())
            return false;
        *result = found->second(wParam, lParam);
        return true;
    }
};

// Fills the client rectangle of the window the DC belongs to with a colour.
inline void FillClient(HWND window, HDC dc, COLORREF colour)
{
    RECT client;
    GetClientRect(window, &client);
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &client, brush);
    DeleteObject(brush);
}

// 0x00BBGGRR to the surfaces' 0x00RRGGBB.
constexpr uint32_t Px(COLORREF colour)
{
    return ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}
