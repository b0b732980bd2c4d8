// CPositionDlg: the corner rows from the members, the integer exchange of the margin fields,
// OK, and Apply sending the choice to the main window.
#include "tests/dialogs/DialogStage.h"

#include "dialogs/PositionDlg.h"
#include "platform/DataExchange.h"
#include "res/ResourceIds.h"
#include "res/SkinBitmaps.h"

#include <gtest/gtest.h>

namespace {

constexpr int kFields[8] = {IDC_POS_X_TOPLEFT,    IDC_POS_Y_TOPLEFT,    IDC_POS_X_TOPRIGHT,    IDC_POS_Y_TOPRIGHT,
                            IDC_POS_X_BOTTOMLEFT, IDC_POS_Y_BOTTOMLEFT, IDC_POS_X_BOTTOMRIGHT, IDC_POS_Y_BOTTOMRIGHT};
constexpr int kChecks[4] = {IDC_POS_CHECK_TOPLEFT, IDC_POS_CHECK_TOPRIGHT, IDC_POS_CHECK_BOTTOMLEFT,
                            IDC_POS_CHECK_BOTTOMRIGHT};

uint32_t BitmapCentre(int id)
{
    const SkinBitmap* mark = FindSkinBitmap(id);
    return mark->pixels[7 * mark->width + 7];
}

// Which corner boxes show the checked mark, as a string of 0 and 1.
std::string CheckedBoxes(DialogStage& stage, const CWnd& dialog)
{
    std::string marks;
    for (int id : kChecks) {
        RECT box = DialogStage::ControlRect(dialog, id);
        marks += stage.Pixel(dialog, box.left + 7, box.top + 7) == BitmapCentre(IDB_CHECK_ON) ? '1' : '0';
    }
    return marks;
}

TEST(PositionDlg, OpensWithTheCornersRowShowingTheMarginsAndEveryControlInPlace)
{
    DialogStage stage;
    CPositionDlg dialog;
    dialog.m_nPosType = 3;
    dialog.m_nPosX = 20;
    dialog.m_nPosY = 30;
    std::vector<std::string> texts;
    std::vector<RECT> fields, checks;
    std::string checked;
    RECT ok{}, cancel{}, apply{};
    stage.Then([&] {
        for (int id : kFields) {
            texts.push_back(DialogStage::Text(dialog, id));
            fields.push_back(DialogStage::ControlRect(dialog, id));
        }
        for (int id : kChecks)
            checks.push_back(DialogStage::ControlRect(dialog, id));
        checked = CheckedBoxes(stage, dialog);
        ok = DialogStage::ControlRect(dialog, IDOK);
        cancel = DialogStage::ControlRect(dialog, IDCANCEL);
        apply = DialogStage::ControlRect(dialog, IDC_POS_APPLY);
    });
    stage.Run(dialog);
    EXPECT_EQ(texts, (std::vector<std::string>{"0", "0", "0", "0", "0", "0", "20", "30"}));
    EXPECT_EQ(checked, "0001");
    for (int corner = 0; corner < 4; ++corner) {
        SCOPED_TRACE(corner);
        const RECT& x = fields[2 * corner];
        const RECT& y = fields[2 * corner + 1];
        EXPECT_EQ(x.left, 174);
        EXPECT_EQ(y.left, 285);
        EXPECT_EQ(x.top, 74 + 23 * corner);
        EXPECT_EQ(y.top, 74 + 23 * corner);
        EXPECT_EQ(x.right - x.left, 25);
        EXPECT_EQ(x.bottom - x.top, 13);
        EXPECT_EQ(checks[corner].left, 50);
        EXPECT_EQ(checks[corner].top, 72 + 23 * corner);
    }
    EXPECT_EQ(ok.left, 80);
    EXPECT_EQ(cancel.left, 170);
    EXPECT_EQ(apply.left, 260);
    EXPECT_EQ(apply.top, 178);
    EXPECT_EQ(apply.right - apply.left, 69);
}

TEST(PositionDlg, SwitchingCornersTakesThatRowsMarginsOnOk)
{
    struct Case {
        const char* name;
        int32_t corner;
        int click;  // corner box clicked before OK, -1: none
        int32_t type, x, y;
    };
    const Case cases[] = {
        {"to corner 1 without touching the fields", 3, 1, 1, 0, 0},
        {"the checked box clicked again", 3, 3, 3, 20, 30},
        {"corner out of range, no box checked", 7, -1, 7, 20, 30},
        {"corner out of range, then corner 0", -1, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DialogStage stage;
        CPositionDlg dialog;
        dialog.m_nPosType = c.corner;
        dialog.m_nPosX = 20;
        dialog.m_nPosY = 30;
        std::string before, after;
        std::vector<std::string> texts;
        stage.Then([&] {
            before = CheckedBoxes(stage, dialog);
            for (int id : kFields)
                texts.push_back(DialogStage::Text(dialog, id));
            if (c.click >= 0)
                stage.ClickControl(dialog, kChecks[c.click]);
            stage.Then([&] { after = CheckedBoxes(stage, dialog); });
            stage.ClickControl(dialog, IDOK);
        });
        EXPECT_EQ(stage.Run(dialog), IDOK);
        EXPECT_EQ(dialog.m_nPosType, c.type);
        EXPECT_EQ(dialog.m_nPosX, c.x);
        EXPECT_EQ(dialog.m_nPosY, c.y);
        if (c.corner < 0 || c.corner > 3) {
            EXPECT_EQ(before, "0000");
            EXPECT_EQ(texts, std::vector<std::string>(8, "0"));
        }
        if (c.click >= 0) {
            std::string expected = "0000";
            expected[static_cast<size_t>(c.click)] = '1';
            EXPECT_EQ(after, expected) << "exactly the clicked box";
        }
    }
}

TEST(PositionDlg, MarginFieldsTakeWhatTheIntegerExchangeAccepts)
{
    struct Case {
        std::string text;
        bool accepted;
        int32_t value;
    };
    const Case cases[] = {
        {" 15 ", true, 15},
        {"\t-10", true, -10},
        {"+7\t", true, 7},
        {"0", true, 0},
        {" 0 ", true, 0},
        {"1.5", false, 0},
        {"15px", false, 0},
        {"", false, 0},
        {"  ", false, 0},
        {"-0", false, 0},
        {"-", false, 0},
        {std::string(30, ' ') + "5", true, 5},        // 31 characters, all read
        {std::string(31, ' ') + "5", false, 0},       // the digit is the 32nd: blanks are read
        {"1" + std::string(30, ' ') + "x", true, 1},  // the 32nd character is never read
        {"2147483647", true, 2147483647},
        {"-2147483648", true, -2147483647 - 1},
        {"2147483648", false, 0},
        {"１５", false, 0},  // full-width digits
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("[" + c.text + "]");
        DialogStage stage;
        CPositionDlg dialog;
        dialog.m_nPosType = 0;
        dialog.m_nPosX = 4;
        dialog.m_nPosY = 6;
        HWND focus = nullptr, field = nullptr;
        int selectionStart = -1, selectionEnd = -1;
        stage.Then([&] {
            field = dialog.GetDlgItem(IDC_POS_X_TOPLEFT);
            ::SetWindowTextA(field, c.text.c_str());
            stage.ClickControl(dialog, IDOK).Then([&] {
                focus = ::GetFocus();
                auto selection = static_cast<uintptr_t>(::SendMessageA(field, EM_GETSEL, 0, 0));
                selectionStart = LOWORD(selection);
                selectionEnd = HIWORD(selection);
            });
        });
        intptr_t result = stage.Run(dialog);
        const auto& boxes = stage.desktop.backend->messageBoxes;
        if (c.accepted) {
            EXPECT_EQ(result, IDOK);
            EXPECT_EQ(dialog.m_nPosX, c.value);
            EXPECT_EQ(dialog.m_nPosY, 6);
            EXPECT_TRUE(boxes.empty());
        } else {
            EXPECT_EQ(result, DialogStage::kStillOpen) << "the dialog stays open";
            ASSERT_EQ(boxes.size(), 1u) << "the message is shown once";
            EXPECT_EQ(boxes[0].text, "请键入一个整数。");
            EXPECT_EQ(boxes[0].caption, "Tessmark");
            EXPECT_EQ(boxes[0].type & 0x0F, static_cast<UINT>(MB_OK));
            EXPECT_EQ(focus, field);
            EXPECT_EQ(selectionStart, 0);
            EXPECT_EQ(selectionEnd, static_cast<int>(c.text.size())) << "all its text selected";
            EXPECT_EQ(dialog.m_nPosX, 4) << "nothing computed";
        }
    }
}

// A main window that takes the applied records as the program's main window does.
struct ApplyReceiver {
    explicit ApplyReceiver(DialogStage& stage, bool takes = true)
    {
        window.handlers[WM_APPLY_POSITION] = [this, takes](WPARAM wParam, LPARAM lParam) -> LRESULT {
            if (wParam != 1 || !takes)
                return 0;
            std::unique_ptr<PositionApply> record = TakePositionApply(lParam);
            applied.push_back(*record);
            return TRUE;
        };
        window.CreateEx(0, nullptr, "main", WS_POPUP | WS_VISIBLE, {0, 0, 800, 600}, nullptr, 0);
        stage.desktop.system->SetMainWindow(&window);
    }
    ProbeWindow window;
    std::vector<PositionApply> applied;
};

TEST(PositionDlg, ApplySendsTheChoiceAtOnceAndALaterCancelDoesNotUndoIt)
{
    DialogStage stage;
    ApplyReceiver main(stage);
    CPositionDlg dialog;
    dialog.m_nPosType = 0;
    dialog.m_nPosX = 5;
    dialog.m_nPosY = 5;
    size_t appliedWhileOpen = 0;
    stage.Then([&] {
        stage.ClickControl(dialog, IDC_POS_CHECK_BOTTOMLEFT);
        stage.Then([&] {
            ::SetWindowTextA(dialog.GetDlgItem(IDC_POS_X_BOTTOMLEFT), "-10");
            ::SetWindowTextA(dialog.GetDlgItem(IDC_POS_Y_BOTTOMLEFT), " 15 ");
        });
        stage.ClickControl(dialog, IDC_POS_APPLY).Then([&] { appliedWhileOpen = main.applied.size(); });
        // A refused field: no record is sent.
        stage.Then([&] { ::SetWindowTextA(dialog.GetDlgItem(IDC_POS_Y_TOPLEFT), "abc"); });
        stage.ClickControl(dialog, IDC_POS_APPLY);
        stage.ClickControl(dialog, IDCANCEL);
    });
    EXPECT_EQ(stage.Run(dialog), IDCANCEL);
    EXPECT_EQ(appliedWhileOpen, 1u) << "sent, not posted: handled before Apply returns";
    ASSERT_EQ(main.applied.size(), 1u);
    EXPECT_EQ(main.applied[0].PosType, 2);
    EXPECT_EQ(main.applied[0].PosX, -10);
    EXPECT_EQ(main.applied[0].PosY, 15);
    EXPECT_EQ(stage.desktop.backend->messageBoxes.size(), 1u);
}

TEST(PositionDlg, ARecordNobodyTakesIsFreedByTheSender)
{
    // Under the sanitizer build a leaked or twice-freed record fails this test.
    for (bool withMain : {true, false}) {
        DialogStage stage;
        std::optional<ApplyReceiver> main;
        if (withMain)
            main.emplace(stage, false);
        CPositionDlg dialog;
        dialog.m_nPosType = 1;
        stage.Then([&] {
            stage.ClickControl(dialog, IDC_POS_APPLY);
            stage.ClickControl(dialog, IDC_POS_APPLY);
        });
        EXPECT_EQ(stage.Run(dialog), DialogStage::kStillOpen);
        if (main) {
            EXPECT_EQ(main->window.Count(WM_APPLY_POSITION), 2u);
        }
    }
}

}  // namespace
