// WM_APPLY_POSITION and its record PositionApply: the position dialog's Apply hands the chosen
// corner and margins to the main window at once, while the dialog stays open.
//
// Both ends include this header. The sender (CPositionDlg::OnApply) allocates one record per
// Apply and sends, never posts, WM_APPLY_POSITION to the application's main window
// (WindowSystem::GetMainWindow) with wParam 1 and lParam the record's address. The receiver
// takes ownership with TakePositionApply and answers TRUE; its handler looks like this:
//
//     LRESULT CMainDlg::OnApplyPosition(WPARAM wParam, LPARAM lParam)
//     {
//         if (wParam != 1)
//             return 0;
//         std::unique_ptr<PositionApply> record = TakePositionApply(lParam);
//         m_Settings.PosType = record->PosType;  // and PosX, PosY
//         ...
//         return TRUE;
//     }
//
// An answer of 0 (the message was not handled, or wParam was not 1) leaves the record with the
// sender, which frees it: a record is freed exactly once whoever receives it.
#pragma once

#include "platform/WinUser.h"

#include <cstdint>
#include <memory>

constexpr UINT WM_APPLY_POSITION = WM_USER + 100;

struct PositionApply {
    int32_t PosType;  // corner: 0 top-left, 1 top-right, 2 bottom-left, 3 bottom-right
    int32_t PosX;     // horizontal margin in pixels
    int32_t PosY;     // vertical margin in pixels
};

// The receiver's side: owns the record that lParam carries.
inline std::unique_ptr<PositionApply> TakePositionApply(LPARAM lParam)
{
    return std::unique_ptr<PositionApply>(reinterpret_cast<PositionApply*>(lParam));
}
