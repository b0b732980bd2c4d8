// COutputDlg: OK without validation and the folder chooser with its folder-name field.
#include "tests/dialogs/DialogStage.h"

#include "dialogs/OutputDlg.h"
#include "res/ResourceIds.h"

#include <gtest/gtest.h>

namespace {

TEST(OutputDlg, OkWithAnEmptyFieldHandsBackTheEmptyText)
{
    DialogStage stage;
    COutputDlg dialog;
    dialog.m_strOutputFolderSite = "/home/user/输出";
    std::string shown;
    RECT edit{};
    stage.Then([&] {
        shown = DialogStage::Text(dialog, IDC_OUTPUT_EDIT);
        edit = DialogStage::ControlRect(dialog, IDC_OUTPUT_EDIT);
        DialogStage::Type(dialog, IDC_OUTPUT_EDIT, "");
        stage.ClickControl(dialog, IDOK);
    });
    EXPECT_EQ(stage.Run(dialog), IDOK);
    EXPECT_EQ(shown, "/home/user/输出");
    EXPECT_EQ(dialog.m_strOutputFolderSite, "");
    EXPECT_EQ(edit.left, 75);
    EXPECT_EQ(edit.top, 73);
    EXPECT_EQ(edit.right, 320);
    EXPECT_EQ(edit.bottom, 86);
}

TEST(OutputDlg, FolderChooserOffersAFolderNameFieldAndOpensOnTheTypedFolder)
{
    DialogStage stage;
    auto& backend = *stage.desktop.backend;
    backend.folderChoices.push_back(std::nullopt);
    backend.folderChoices.push_back(std::string("/home/user/输出/新建"));
    COutputDlg dialog;
    std::vector<std::string> shown;
    stage.Then([&] {
        auto look = [&] { shown.push_back(DialogStage::Text(dialog, IDC_OUTPUT_EDIT)); };
        stage.Then([&] { DialogStage::Type(dialog, IDC_OUTPUT_EDIT, "/home/user/输出"); });
        stage.ClickControl(dialog, IDC_OUTPUT_BROWSE).Then(look);
        stage.ClickControl(dialog, IDC_OUTPUT_BROWSE).Then(look);
        stage.Click(dialog, {375, 9});  // the caption's close button
    });
    EXPECT_EQ(stage.Run(dialog), IDCANCEL);
    EXPECT_EQ(shown, (std::vector<std::string>{"/home/user/输出", "/home/user/输出/新建"}));
    ASSERT_EQ(backend.folderRequests.size(), 2u);
    const FolderChooserRequest& request = backend.folderRequests[0];
    EXPECT_EQ(request.initialFolder, "/home/user/输出") << "typed, never confirmed";
    EXPECT_EQ(request.title, "请选择您的目录");
    EXPECT_TRUE(request.editBox);
    EXPECT_TRUE(request.statusText);
    EXPECT_TRUE(request.newStyle);
    EXPECT_EQ(COutputDlg::s_strBrowseFolder, "/home/user/输出/新建");
}

}  // namespace
