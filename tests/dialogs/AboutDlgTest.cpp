// CAboutDlg: the version formatted from the program's number, on the panel, and its button.
#include "tests/dialogs/DialogStage.h"

#include "dialogs/AboutDlg.h"
#include "res/ResourceIds.h"

#include <gtest/gtest.h>

namespace {

TEST(AboutDlg, ShowsTheFormattedVersionWhiteOnThePanel)
{
    DialogStage stage;
    CAboutDlg dialog;
    EXPECT_EQ(dialog.m_strVersion, "") << "empty at construction";
    std::string shown;
    RECT label{};
    std::optional<RECT> white;
    uint32_t labelColour = 0;
    stage.Then([&] {
        shown = DialogStage::Text(dialog, IDC_ABOUT_VERSION);
        label = DialogStage::ControlRect(dialog, IDC_ABOUT_VERSION);
        white = stage.Box(dialog, label, 0xFFFFFF);
        labelColour = stage.Pixel(dialog, label.right - 2, label.top + 1);
    });
    EXPECT_EQ(stage.Run(dialog), DialogStage::kStillOpen);
    EXPECT_EQ(dialog.m_strVersion, "Tessmark 1.00");
    EXPECT_EQ(shown, "Tessmark 1.00") << "not the template's own text";
    // The template place (89, 58), 77 x 8 dialog units.
    EXPECT_EQ(label.left, 134);
    EXPECT_EQ(label.top, 87);
    EXPECT_EQ(label.right - label.left, 116);
    EXPECT_EQ(label.bottom - label.top, 12);
    EXPECT_EQ(labelColour, 0x264D4DU);
    ASSERT_TRUE(white.has_value());
    EXPECT_LE(white->left, label.left + 2) << "left-aligned";
}

TEST(AboutDlg, CloseButtonAndCaptionCloseEndIt)
{
    for (auto [click, result] : {std::pair{POINT{139, 142}, IDOK}, std::pair{POINT{259, 9}, IDCANCEL}}) {
        DialogStage stage;
        CAboutDlg dialog;
        stage.Then([&, click = click] { stage.Click(dialog, click); });
        EXPECT_EQ(stage.Run(dialog), result);
    }
}

}  // namespace
