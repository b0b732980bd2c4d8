// Dialogs: templates in dialog units, modal loops and their owners, data exchange.
#include "tests/platform/HeadlessDesktop.h"

#include "platform/DataExchange.h"
#include "platform/Dialog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

constexpr UINT kTemplate = 500;
constexpr int kNumberField = 1009;
constexpr int kTextField = 1003;

void AddTemplate(WindowSystem& system)
{
    DialogTemplate dialog;
    dialog.style = WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_MODALFRAME;
    dialog.x = 10;
    dialog.y = 10;
    dialog.cx = 264;
    dialog.cy = 143;
    dialog.title = "设置";
    dialog.items = {
        {IDOK, WC_BUTTON, 35, 119, 50, 14, WS_VISIBLE | WS_TABSTOP, 0, "确 定"},
        {IDCANCEL, WC_BUTTON, 100, 119, 50, 14, WS_VISIBLE | WS_TABSTOP, 0, "取 消"},
        {kNumberField, WC_EDIT, 117, 49, 17, 9, WS_VISIBLE | WS_TABSTOP | WS_BORDER, 0, ""},
        {kTextField, WC_EDIT, 3, 5, 1, 1, WS_VISIBLE | WS_TABSTOP | WS_BORDER, 0, ""},
    };
    system.Resources().AddDialog(kTemplate, dialog);
}

class NumberDialog : public CDialog {
public:
    NumberDialog() : CDialog(kTemplate) {}
    int m_nValue = 0;
    std::string m_strText;
    bool initialised = false;

protected:
    void DoDataExchange(CDataExchange* exchange) override
    {
        DDX_Text(exchange, kNumberField, m_nValue);
        DDX_Text(exchange, kTextField, m_strText);
    }
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        initialised = true;
        return TRUE;
    }
};

TEST(DialogUnits, ConvertWithBaseUnitsSixByTwelveRoundedLikeMulDiv)
{
    struct Case {
        int units;
        int x;
        int y;
    };
    for (const Case& c : {Case{0, 0, 0}, Case{1, 2, 2}, Case{3, 5, 5}, Case{9, 14, 14}, Case{17, 26, 26},
                          Case{264, 396, 396}, Case{-3, -5, -5}}) {
        SCOPED_TRACE(c.units);
        EXPECT_EQ(DialogUnitsToPixelsX(c.units), c.x);
        EXPECT_EQ(DialogUnitsToPixelsY(c.units), c.y);
    }
}

TEST(ModalDialog, BuildsControlsInPixelsAndDisablesItsOwnerWhileRunning)
{
    HeadlessDesktop desktop;
    AddTemplate(*desktop.system);
    ProbeWindow main;
    main.CreateEx(0, nullptr, "main", WS_POPUP | WS_VISIBLE, {0, 0, 800, 600}, nullptr, 0);
    desktop.system->SetMainWindow(&main);

    NumberDialog dialog;
    bool ownerEnabledDuring = true;
    RECT client{}, numberRect{}, okRect{};
    HWND owner = nullptr;
    desktop.backend->Then([&] {
        ownerEnabledDuring = IsWindowEnabled(main.m_hWnd);
        owner = GetParent(dialog.m_hWnd);
        dialog.GetClientRect(&client);
        GetWindowRect(dialog.GetDlgItem(kNumberField), &numberRect);
        GetWindowRect(dialog.GetDlgItem(IDOK), &okRect);
        dialog.ScreenToClient(&numberRect);
        dialog.ScreenToClient(&okRect);
    });
    desktop.backend->PressKey(VK_ESCAPE);
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_TRUE(dialog.initialised);
    EXPECT_EQ(owner, main.m_hWnd);
    EXPECT_FALSE(ownerEnabledDuring);
    EXPECT_TRUE(IsWindowEnabled(main.m_hWnd));
    EXPECT_EQ(client, (RECT{0, 0, 396, 215}));
    EXPECT_EQ(numberRect, (RECT{176, 74, 202, 88}));
    EXPECT_EQ(okRect, (RECT{53, 179, 128, 200}));
    EXPECT_EQ(dialog.m_hWnd, nullptr);
}

TEST(ModalDialog, ReturnKeyIsOkAndOkExchangesControlsToMembers)
{
    HeadlessDesktop desktop;
    AddTemplate(*desktop.system);
    NumberDialog dialog;
    dialog.m_nValue = 20;
    desktop.backend->Then([&] {
        EXPECT_EQ(GetWindowTextString(dialog.GetDlgItem(kNumberField)), "20");
        SetFocus(dialog.GetDlgItem(kTextField));
    });
    desktop.backend->Type("源目录").PressKey(VK_RETURN);
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.m_strText, "源目录");
    EXPECT_EQ(dialog.m_nValue, 20);
}

TEST(ModalDialog, ReturnKeyClicksOnlyAFocusedPushButtonElseSendsTheDefaultCommand)
{
    // An owner-drawn button answers WM_GETDLGCODE as a plain button, not a push button: with
    // the focus on it Enter is the dialog's OK, as with the focus in an edit field.
    struct Case {
        const char* name;
        int focus;
        bool ownerDrawn;
        intptr_t result;
    };
    const Case cases[] = {
        {"push button Cancel", IDCANCEL, false, IDCANCEL},
        {"owner-drawn Cancel", IDCANCEL, true, IDOK},
        {"edit field", kTextField, false, IDOK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HeadlessDesktop desktop;
        AddTemplate(*desktop.system);
        NumberDialog dialog;
        desktop.backend->Then([&] {
            HWND focus = dialog.GetDlgItem(c.focus);
            if (c.ownerDrawn)
                SendMessageA(focus, BM_SETSTYLE, BS_OWNERDRAW, FALSE);
            SetFocus(focus);
        });
        desktop.backend->PressKey(VK_RETURN);
        EXPECT_EQ(dialog.DoModal(), c.result);
    }
}

TEST(ModalDialog, GivesUpWhenNothingCanArriveAnyMore)
{
    HeadlessDesktop desktop;
    AddTemplate(*desktop.system);
    NumberDialog dialog;
    EXPECT_EQ(dialog.DoModal(), -1);
    EXPECT_EQ(desktop.backend->Stalls(), 1);
    EXPECT_TRUE(desktop.system->TopLevelWindows().empty());
}

TEST(ModalDialog, MissingTemplateFailsWithoutAWindow)
{
    HeadlessDesktop desktop;
    CDialog dialog(9999);
    EXPECT_EQ(dialog.DoModal(), -1);
    EXPECT_TRUE(desktop.system->TopLevelWindows().empty());
}

TEST(ModalDialog, AWorkerThreadsDialogRunsOnTheInterfaceThreadWhileTheWorkerWaits)
{
    HeadlessDesktop desktop;
    AddTemplate(*desktop.system);
    ProbeWindow main;
    main.CreateEx(0, nullptr, "main", WS_POPUP | WS_VISIBLE, {0, 0, 800, 600}, nullptr, 0);
    desktop.system->SetMainWindow(&main);

    std::thread::id shownOn;
    bool mainDisabled = false;
    desktop.backend->onIdle = [&] {
        HWND top = desktop.system->TopLevelWindows().front();
        if (top == main.m_hWnd)
            return false;
        shownOn = std::this_thread::get_id();
        mainDisabled = !IsWindowEnabled(main.m_hWnd);
        desktop.backend->PressKey(VK_RETURN);
        return true;
    };
    std::atomic<intptr_t> result{0};
    std::atomic<bool> done{false};
    std::thread worker([&] {
        NumberDialog dialog;
        result = dialog.DoModal();
        done = true;
    });
    bool finished = desktop.backend->RunUntil([&] { return done.load(); }, 10000);
    worker.join();
    ASSERT_TRUE(finished);
    EXPECT_EQ(result.load(), IDOK);
    EXPECT_EQ(shownOn, std::this_thread::get_id());
    EXPECT_TRUE(mainDisabled);
    EXPECT_TRUE(IsWindowEnabled(main.m_hWnd));
}

TEST(IntegerField, AcceptsOnlyWholeSignedDecimalNumbers)
{
    struct Case {
        const char* text;
        bool accepted;
        int value;
    };
    const Case cases[] = {
        {"15", true, 15},
        {" 15\t", true, 15},
        {"\t-10 ", true, -10},
        {"+7", true, 7},
        {"0", true, 0},
        {"  000", true, 0},
        {"-0", false, 0},
        {"", false, 0},
        {"   ", false, 0},
        {"1.5", false, 0},
        {"15px", false, 0},
        {"1 5", false, 0},
        {"-", false, 0},
        {"2147483647", true, 2147483647},
        {"2147483648", false, 0},
        {"-2147483648", true, -2147483647 - 1},
        {"99999999999", false, 0},
        // Only the first 31 characters are read: the tail beyond them does not count.
        {"                              7x", true, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        int value = -1;
        EXPECT_EQ(ParseIntegerField(c.text, value), c.accepted);
        if (c.accepted) {
            EXPECT_EQ(value, c.value);
        }
    }
}

TEST(IntegerField, RefusalShowsTheMessageSelectsTheFieldAndKeepsTheDialogOpen)
{
    HeadlessDesktop desktop;
    AddTemplate(*desktop.system);
    NumberDialog dialog;
    HWND field = nullptr;
    desktop.backend->Then([&] {
        field = dialog.GetDlgItem(kNumberField);
        SetWindowTextA(field, "15px");
    });
    desktop.backend->PressKey(VK_RETURN);
    desktop.backend->Then([&] {
        ASSERT_EQ(desktop.backend->messageBoxes.size(), 1u);
        EXPECT_EQ(desktop.backend->messageBoxes[0].text, "请键入一个整数。");
        EXPECT_EQ(desktop.backend->messageBoxes[0].owner, dialog.m_hWnd);
        EXPECT_EQ(GetFocus(), field);
        EXPECT_EQ(SendMessageA(field, EM_GETSEL, 0, 0), MAKELPARAM(0, 4));
        SetWindowTextA(field, " 42 ");
    });
    desktop.backend->PressKey(VK_RETURN);
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.m_nValue, 42);
    EXPECT_EQ(desktop.backend->messageBoxes.size(), 1u);
}

}  // namespace
