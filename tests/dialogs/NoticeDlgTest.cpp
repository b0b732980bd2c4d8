// CNoticeDlg: the message on the teal panel, its button and its caption close button.
#include "tests/dialogs/DialogStage.h"

#include "dialogs/NoticeDlg.h"
#include "res/ResourceIds.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kTeal = 0x264D4D;
// The label's template place: (66, 45) and 83 x 27 dialog units.
constexpr RECT kLabelPlace = {99, 68, 224, 109};

TEST(NoticeDlg, ShowsTheMessageWhiteAndCentredOnThePanel)
{
    DialogStage stage;
    CNoticeDlg dialog;
    dialog.m_strMessage = "处理完毕";
    std::optional<RECT> text;
    RECT ok{}, window{};
    uint32_t aroundText = 0;
    stage.Then([&] {
        text = stage.Box(dialog, kLabelPlace, kWhite);
        ok = DialogStage::ControlRect(dialog, IDOK);
        dialog.GetWindowRect(&window);
        aroundText = stage.Pixel(dialog, kLabelPlace.left + 2, kLabelPlace.top + 2);
        EXPECT_EQ(DialogStage::Text(dialog, IDC_NOTICE_MESSAGE), "处理完毕");
    });
    EXPECT_EQ(stage.Run(dialog), DialogStage::kStillOpen);
    EXPECT_EQ(window.right - window.left, 276);
    EXPECT_EQ(window.bottom - window.top, 169);
    EXPECT_EQ(ok.left, 105);
    EXPECT_EQ(ok.top, 131);
    EXPECT_EQ(ok.right - ok.left, 69) << "the grey face's size";
    EXPECT_EQ(aroundText, kTeal);
    ASSERT_TRUE(text.has_value()) << "no white text on the label";
    int middleX = (text->left + text->right) / 2;
    int middleY = (text->top + text->bottom) / 2;
    EXPECT_NEAR(middleX, (kLabelPlace.left + kLabelPlace.right) / 2, 2);
    EXPECT_NEAR(middleY, (kLabelPlace.top + kLabelPlace.bottom) / 2, 3);
}

TEST(NoticeDlg, LongChineseTextWrapsInsideTheLabel)
{
    DialogStage stage;
    CNoticeDlg dialog;
    dialog.m_strMessage = "请选择源目录，然后再按开始键处理全部图片文件";
    std::optional<RECT> text;
    // Anywhere on the teal panel.
    stage.Then([&] { text = stage.Box(dialog, {11, 39, 265, 124}, kWhite); });
    stage.Run(dialog);
    ASSERT_TRUE(text.has_value());
    EXPECT_GE(text->left, kLabelPlace.left);
    EXPECT_LE(text->right, kLabelPlace.right);
    EXPECT_GE(text->top, kLabelPlace.top);
    EXPECT_LE(text->bottom, kLabelPlace.bottom);
    EXPECT_GT(text->bottom - text->top, 20) << "more than one line";
}

TEST(NoticeDlg, ButtonAndCaptionCloseButtonBothEndIt)
{
    struct Case {
        const char* name;
        POINT click;
        intptr_t result;
    };
    // The close face (21 x 17) stands 6 pixels from the right edge: (249, 1)-(270, 18).
    const Case cases[] = {
        {"OK button", {139, 142}, IDOK},
        {"caption close button", {259, 9}, IDCANCEL},
        {"left of the close button", {246, 9}, DialogStage::kStillOpen},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DialogStage stage;
        CNoticeDlg dialog;
        dialog.m_strMessage = "请选择水印文件";
        stage.Then([&] { stage.Click(dialog, c.click); });
        EXPECT_EQ(stage.Run(dialog), c.result);
    }
}

TEST(NoticeDlg, AWorkerThreadsNoticeRunsOnTheInterfaceThreadOwnedByTheMainWindow)
{
    DialogStage stage;
    ProbeWindow main;
    main.CreateEx(0, nullptr, "main", WS_POPUP | WS_VISIBLE, {0, 0, 800, 600}, nullptr, 0);
    stage.desktop.system->SetMainWindow(&main);
    std::atomic<intptr_t> result = 0;
    HWND owner = nullptr;
    bool mainDisabled = false;
    std::thread worker([&] {
        CNoticeDlg notice;
        notice.m_strMessage = "处理完毕";
        result = notice.DoModal();
    });
    // The notice's loop runs on this thread: when it waits, the test looks at it and closes it.
    bool shown = false;
    stage.desktop.backend->onIdle = [&] {
        HWND active = ::GetActiveWindow();
        if (shown || !active || active == main.m_hWnd)
            return false;
        shown = true;
        owner = ::GetWindow(active, GW_OWNER);
        mainDisabled = !::IsWindowEnabled(main.m_hWnd);
        stage.Then([active] { ::SendMessageA(active, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); });
        return true;
    };
    stage.desktop.backend->RunUntil([&] { return result != 0; }, 5000);
    worker.join();
    EXPECT_TRUE(shown);
    EXPECT_EQ(owner, main.m_hWnd);
    EXPECT_TRUE(mainDisabled) << "the owner is disabled while the notice is open";
    EXPECT_EQ(result, IDOK);
    EXPECT_TRUE(::IsWindowEnabled(main.m_hWnd));
}

}  // namespace
