// CMarkFileDlg: the field at its place, OK without validation, and the single-file chooser.
#include "tests/dialogs/DialogStage.h"

#include "batch/PathHelper.h"
#include "dialogs/MarkFileDlg.h"
#include "res/ResourceIds.h"

#include <gtest/gtest.h>

namespace {

TEST(MarkFileDlg, OpensWithTheMemberInTheFieldAndOkHandsBackWhatTheFieldHolds)
{
    struct Case {
        const char* name;
        const char* typed;
    };
    for (const Case& c : {Case{"empty", ""}, Case{"a path that does not exist", "/nowhere/水印.png"}}) {
        SCOPED_TRACE(c.name);
        DialogStage stage;
        CMarkFileDlg dialog;
        dialog.m_strWaterMarkFileSite = "/home/user/水印.png";
        std::string shown;
        RECT edit{}, browse{}, ok{}, cancel{};
        stage.Then([&] {
            shown = DialogStage::Text(dialog, IDC_MARK_EDIT);
            edit = DialogStage::ControlRect(dialog, IDC_MARK_EDIT);
            browse = DialogStage::ControlRect(dialog, IDC_MARK_BROWSE);
            ok = DialogStage::ControlRect(dialog, IDOK);
            cancel = DialogStage::ControlRect(dialog, IDCANCEL);
            DialogStage::Type(dialog, IDC_MARK_EDIT, c.typed);
            stage.ClickControl(dialog, IDOK);
        });
        EXPECT_EQ(stage.Run(dialog), IDOK);
        EXPECT_EQ(shown, "/home/user/水印.png");
        EXPECT_EQ(dialog.m_strWaterMarkFileSite, c.typed);
        EXPECT_EQ(edit.left, 75);
        EXPECT_EQ(edit.top, 73);
        EXPECT_EQ(edit.right, 320);
        EXPECT_EQ(edit.bottom, 86);
        EXPECT_EQ(browse.left, 328);
        EXPECT_EQ(browse.top, 71);
        EXPECT_EQ(browse.right - browse.left, 18);
        EXPECT_EQ(ok.left, 110);
        EXPECT_EQ(ok.top, 120);
        EXPECT_EQ(cancel.left, 220);
        EXPECT_EQ(cancel.top, 120);
        EXPECT_TRUE(stage.desktop.backend->messageBoxes.empty());
    }
}

TEST(MarkFileDlg, SingleFileChooserFillsTheFieldAndStartsInTheProgramFolderOnlyWhenEmpty)
{
    DialogStage stage;
    auto& backend = *stage.desktop.backend;
    backend.fileChoices.push_back(std::vector<std::string>{"/marks/logo.PNG"});
    backend.fileChoices.push_back(std::nullopt);
    CMarkFileDlg dialog;
    std::vector<std::string> shown;
    stage.Then([&] {
        auto look = [&] { shown.push_back(DialogStage::Text(dialog, IDC_MARK_EDIT)); };
        stage.ClickControl(dialog, IDC_MARK_BROWSE).Then(look);
        stage.ClickControl(dialog, IDC_MARK_BROWSE).Then(look);
        stage.ClickControl(dialog, IDCANCEL);
    });
    EXPECT_EQ(stage.Run(dialog), IDCANCEL);
    EXPECT_EQ(shown, (std::vector<std::string>{"/marks/logo.PNG", "/marks/logo.PNG"})) << "cancel changes nothing";
    ASSERT_EQ(backend.fileRequests.size(), 2u);
    EXPECT_FALSE(backend.fileRequests[0].multiSelect);
    EXPECT_EQ(backend.fileRequests[0].initialFolder, CPathHelper().GetExeFolder());
    ASSERT_EQ(backend.fileRequests[0].filters.size(), 2u);
    EXPECT_EQ(backend.fileRequests[0].filters[0].first, "全部图片文件");
    EXPECT_EQ(backend.fileRequests[1].initialFolder, "") << "with a path set the chooser picks its own folder";
}

}  // namespace
