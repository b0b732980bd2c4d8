// A top-level parent at the screen origin (client pixels equal screen pixels) for the skin
// controls, and helpers that read what the controls drew.
#pragma once

#include "tests/platform/HeadlessDesktop.h"

#include <optional>

struct ControlStage {
    ControlStage(HeadlessDesktop& desktop, int width, int height, uint32_t background = 0x808080)
        : m_Desktop(desktop), m_Background(background)
    {
        parent.handlers[WM_ERASEBKGND] = [this](WPARAM dc, LPARAM) {
            RECT client;
            GetClientRect(parent.m_hWnd, &client);
            HBRUSH brush = CreateSolidBrush(Px(m_Background));  // Px swaps both ways
            FillRect(reinterpret_cast<HDC>(dc), &client, brush);
            DeleteObject(brush);
            return LRESULT{1};
        };
        parent.CreateEx(0, nullptr, "stage", WS_POPUP | WS_VISIBLE, {0, 0, width, height}, nullptr, 0);
    }

    // A template-style control (button or static) to attach a skin object to.
    HWND AddControl(const char* className, const char* text, DWORD style, RECT rect, int id)
    {
        return CreateWindowExA(0, className, text, WS_CHILD | WS_VISIBLE | style, rect.left, rect.top,
                               rect.right - rect.left, rect.bottom - rect.top, parent.m_hWnd,
                               reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), nullptr, nullptr);
    }

    uint32_t Pixel(int x, int y) const { return m_Desktop.backend->Pixel(parent.m_hWnd, x, y); }

    int Count(const RECT& area, uint32_t colour) const
    {
        int count = 0;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                count += Pixel(x, y) == colour;
        return count;
    }

    // The bounding box of the pixels of one colour inside an area.
    std::optional<RECT> Box(const RECT& area, uint32_t colour) const
    {
        std::optional<RECT> box;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x) {
                if (Pixel(x, y) != colour)
                    continue;
                if (!box)
                    box = RECT{x, y, x + 1, y + 1};
                box->left = std::min<LONG>(box->left, x);
                box->top = std::min<LONG>(box->top, y);
                box->right = std::max<LONG>(box->right, x + 1);
                box->bottom = std::max<LONG>(box->bottom, y + 1);
            }
        return box;
    }

    ProbeWindow parent;

private:
    HeadlessDesktop& m_Desktop;
    uint32_t m_Background;
};
