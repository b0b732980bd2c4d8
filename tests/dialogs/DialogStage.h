// A headless desktop with the program's resources for the dialog tests, and helpers that drive
// a running dialog in its client pixels and read what it shows.
#pragma once

#include "tests/platform/HeadlessDesktop.h"

#include "platform/Dialog.h"
#include "res/ProgramResources.h"

#include <functional>
#include <optional>
#include <string>

struct DialogStage {
    DialogStage() { AddProgramResources(desktop.system->Resources()); }

    // A client point of the running dialog on the screen.
    POINT ScreenPoint(const CWnd& dialog, POINT client) const
    {
        ::ClientToScreen(dialog.m_hWnd, &client);
        return client;
    }
    HeadlessBackend& Click(const CWnd& dialog, POINT client)
    {
        POINT screen = ScreenPoint(dialog, client);
        return desktop.backend->Click(screen.x, screen.y);
    }
    // Clicks the middle of a control.
    HeadlessBackend& ClickControl(const CWnd& dialog, int id)
    {
        RECT rect = ControlRect(dialog, id);
        return Click(dialog, {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
    }
    // A control's rectangle in the dialog's client pixels.
    static RECT ControlRect(const CWnd& dialog, int id)
    {
        RECT rect{};
        HWND control = ::GetDlgItem(dialog.m_hWnd, id);
        ::GetWindowRect(control, &rect);
        POINT topLeft = {rect.left, rect.top};
        POINT bottomRight = {rect.right, rect.bottom};
        ::ScreenToClient(dialog.m_hWnd, &topLeft);
        ::ScreenToClient(dialog.m_hWnd, &bottomRight);
        return {topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
    }
    static std::string Text(const CWnd& dialog, int id) { return GetWindowTextString(::GetDlgItem(dialog.m_hWnd, id)); }
    static void Type(const CWnd& dialog, int id, const std::string& text)
    {
        ::SetWindowTextA(::GetDlgItem(dialog.m_hWnd, id), text.c_str());
    }
    uint32_t Pixel(const CWnd& dialog, int x, int y) const { return desktop.backend->Pixel(dialog.m_hWnd, x, y); }

    // The bounding box of the pixels of one colour inside an area of the dialog.
    std::optional<RECT> Box(const CWnd& dialog, const RECT& area, uint32_t colour) const
    {
        std::optional<RECT> box;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x) {
                if (Pixel(dialog, x, y) != colour)
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

    // Runs the dialog over the queued script; a dialog still open afterwards ends with kStillOpen.
    // Steps may queue further input; the dialog is ended once the whole queue has run.
    intptr_t Run(CDialog& dialog)
    {
        desktop.backend->onIdle = [this, &dialog] {
            if (!IsWindow(dialog.m_hWnd))
                return false;
            desktop.backend->Then([&dialog] {
                if (IsWindow(dialog.m_hWnd))
                    dialog.EndDialog(kStillOpen);
            });
            return true;
        };
        intptr_t result = dialog.DoModal();
        desktop.backend->onIdle = nullptr;
        return result;
    }
    // Queues a step that runs inside the dialog's loop.
    HeadlessBackend& Then(std::function<void()> step) { return desktop.backend->Then(std::move(step)); }

    static constexpr int kStillOpen = 99;
    HeadlessDesktop desktop;
};
