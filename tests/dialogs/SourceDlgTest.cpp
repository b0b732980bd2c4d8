// CSourceDlg: initial state from the members, the exclusive mode boxes, OK's emptiness test,
// and the folder and file choosers feeding the fields.
#include "tests/dialogs/DialogStage.h"

#include "batch/PathHelper.h"
#include "dialogs/SourceDlg.h"
#include "res/ResourceIds.h"
#include "res/SkinBitmaps.h"

#include <gtest/gtest.h>

namespace {

// The mark bitmaps 131 (unchecked) and 132 (checked) differ at the mark's centre.
uint32_t MarkCentre(DialogStage& stage, const CWnd& dialog, int id)
{
    RECT box = DialogStage::ControlRect(dialog, id);
    return stage.Pixel(dialog, box.left + 7, box.top + 7);
}

uint32_t BitmapCentre(int id)
{
    const SkinBitmap* mark = FindSkinBitmap(id);
    return mark->pixels[7 * mark->width + 7];
}

const uint32_t kChecked = BitmapCentre(IDB_CHECK_ON);
const uint32_t kUnchecked = BitmapCentre(IDB_CHECK_OFF);

TEST(SourceDlg, OpensWithTheMembersInItsControlsAtTheirPixelPlaces)
{
    for (int32_t mode : {0, 1}) {
        SCOPED_TRACE(mode);
        DialogStage stage;
        CSourceDlg dialog;
        dialog.m_nSrcFileType = mode;
        dialog.m_strSrcFolderSite = "/home/user/图片";
        dialog.m_strSrcFileSite = "/a/x.jpg;/a/y.png;";
        std::map<int, RECT> places;
        uint32_t folderMark = 0, filesMark = 0;
        std::string folderText, filesText;
        stage.Then([&] {
            for (int id : {IDOK, IDCANCEL, IDC_SRC_FOLDER_BROWSE, IDC_SRC_FILES_BROWSE, IDC_SRC_MODE_FOLDER,
                           IDC_SRC_MODE_FILES, IDC_SRC_FOLDER_EDIT, IDC_SRC_FILES_EDIT})
                places[id] = DialogStage::ControlRect(dialog, id);
            folderMark = MarkCentre(stage, dialog, IDC_SRC_MODE_FOLDER);
            filesMark = MarkCentre(stage, dialog, IDC_SRC_MODE_FILES);
            folderText = DialogStage::Text(dialog, IDC_SRC_FOLDER_EDIT);
            filesText = DialogStage::Text(dialog, IDC_SRC_FILES_EDIT);
        });
        stage.Run(dialog);
        const std::map<int, RECT> expected = {
            {IDOK, {110, 178, 179, 201}},
            {IDCANCEL, {220, 178, 289, 201}},
            {IDC_SRC_FOLDER_BROWSE, {328, 93, 346, 111}},
            {IDC_SRC_FILES_BROWSE, {328, 132, 346, 150}},
            {IDC_SRC_MODE_FOLDER, {53, 75, 68, 89}},
            {IDC_SRC_MODE_FILES, {53, 114, 68, 128}},
            {IDC_SRC_FOLDER_EDIT, {75, 95, 320, 108}},
            {IDC_SRC_FILES_EDIT, {75, 135, 320, 148}},
        };
        for (const auto& [id, rect] : expected) {
            SCOPED_TRACE(id);
            EXPECT_EQ(places[id].left, rect.left);
            EXPECT_EQ(places[id].top, rect.top);
            EXPECT_EQ(places[id].right, rect.right);
            EXPECT_EQ(places[id].bottom, rect.bottom);
        }
        ASSERT_NE(kChecked, kUnchecked);
        EXPECT_EQ(folderMark, mode == 0 ? kChecked : kUnchecked);
        EXPECT_EQ(filesMark, mode == 0 ? kUnchecked : kChecked);
        EXPECT_EQ(folderText, "/home/user/图片");
        EXPECT_EQ(filesText, "/a/x.jpg;/a/y.png;");
    }
}

TEST(SourceDlg, ModeBoxesAreExclusiveAndAClickOnTheCheckedOneKeepsIt)
{
    DialogStage stage;
    CSourceDlg dialog;
    dialog.m_strSrcFolderSite = "/pics";
    dialog.m_strSrcFileSite = "/pics/a.jpg;";
    std::vector<std::pair<uint32_t, uint32_t>> marks;
    auto look = [&] {
        marks.emplace_back(MarkCentre(stage, dialog, IDC_SRC_MODE_FOLDER),
                           MarkCentre(stage, dialog, IDC_SRC_MODE_FILES));
    };
    stage.Then([&] {
        look();
        stage.ClickControl(dialog, IDC_SRC_MODE_FILES).Then(look);
        stage.ClickControl(dialog, IDC_SRC_MODE_FILES).Then(look);
        stage.ClickControl(dialog, IDC_SRC_MODE_FOLDER).Then(look);
        stage.ClickControl(dialog, IDC_SRC_MODE_FILES).Then(look);
        stage.ClickControl(dialog, IDOK);
    });
    EXPECT_EQ(stage.Run(dialog), IDOK);
    ASSERT_EQ(marks.size(), 5u);
    const uint32_t checked = kChecked, unchecked = kUnchecked;
    EXPECT_EQ(marks[0], (std::pair{checked, unchecked}));
    using Marks = std::pair<uint32_t, uint32_t>;
    EXPECT_EQ(marks[1], (Marks{unchecked, checked}));
    EXPECT_EQ(marks[2], (Marks{unchecked, checked})) << "a click on the checked box keeps it";
    EXPECT_EQ(marks[3], (Marks{checked, unchecked}));
    EXPECT_EQ(marks[4], (Marks{unchecked, checked}));
    EXPECT_EQ(dialog.m_nSrcFileType, 1);
}

TEST(SourceDlg, OkTestsOnlyTheChosenModesFieldTrimmedAndHandsBackTheTextsUntrimmed)
{
    struct Case {
        const char* name;
        int32_t mode;
        const char* folder;
        const char* files;
        intptr_t result;
        int focus;  // control with the focus when the dialog stays open
    };
    const Case cases[] = {
        {"folder of three blanks", 0, "   ", "/a/x.jpg;", DialogStage::kStillOpen, IDC_SRC_FOLDER_EDIT},
        {"empty folder", 0, "", "", DialogStage::kStillOpen, IDC_SRC_FOLDER_EDIT},
        {"list of a tab and blanks", 1, "/pics", "\t  ", DialogStage::kStillOpen, IDC_SRC_FILES_EDIT},
        {"list given, folder empty", 1, "", "/a/x.jpg;", IDOK, 0},
        {"folder with leading blanks", 0, "  /pics ", "", IDOK, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DialogStage stage;
        CSourceDlg dialog;
        dialog.m_nSrcFileType = c.mode;
        HWND focus = nullptr;
        HWND expectedFocus = nullptr;
        stage.Then([&] {
            DialogStage::Type(dialog, IDC_SRC_FOLDER_EDIT, c.folder);
            DialogStage::Type(dialog, IDC_SRC_FILES_EDIT, c.files);
            stage.ClickControl(dialog, IDOK).Then([&] {
                focus = ::GetFocus();
                expectedFocus = c.focus ? dialog.GetDlgItem(c.focus) : nullptr;
            });
        });
        EXPECT_EQ(stage.Run(dialog), c.result);
        EXPECT_TRUE(stage.desktop.backend->messageBoxes.empty()) << "nothing is shown";
        if (c.result == IDOK) {
            EXPECT_EQ(dialog.m_strSrcFolderSite, c.folder);
            EXPECT_EQ(dialog.m_strSrcFileSite, c.files);
            EXPECT_EQ(dialog.m_nSrcFileType, c.mode);
        } else {
            EXPECT_EQ(focus, expectedFocus);
        }
    }
}

TEST(SourceDlg, CancelAndTheCaptionCloseButtonEndWithCancel)
{
    for (POINT click : {POINT{254, 189}, POINT{375, 9}}) {
        DialogStage stage;
        CSourceDlg dialog;
        dialog.m_strSrcFolderSite = "/pics";
        stage.Then([&] { stage.Click(dialog, click); });
        EXPECT_EQ(stage.Run(dialog), IDCANCEL);
    }
}

TEST(SourceDlg, FileChooserListsEveryChosenPathWithASemicolonAndStartsInTheProgramFolderOnlyWhenEmpty)
{
    DialogStage stage;
    auto& backend = *stage.desktop.backend;
    backend.fileChoices.push_back(std::vector<std::string>{"/a/x.jpg", "/a/y.png"});
    backend.fileChoices.push_back(std::nullopt);
    std::vector<std::string> many;
    std::string manyList;
    for (int i = 0; i < 120; ++i) {
        many.push_back("/很长的文件夹名称/图片" + std::to_string(i) + ".jpg");
        manyList += many.back() + ";";
    }
    backend.fileChoices.push_back(many);
    CSourceDlg dialog;
    dialog.m_nSrcFileType = 0;
    dialog.m_strSrcFolderSite = "/pics";
    std::vector<std::string> shown;
    HWND window = nullptr;
    stage.Then([&] {
        window = dialog.m_hWnd;
        auto look = [&] { shown.push_back(DialogStage::Text(dialog, IDC_SRC_FILES_EDIT)); };
        stage.ClickControl(dialog, IDC_SRC_FILES_BROWSE).Then(look);
        stage.ClickControl(dialog, IDC_SRC_FILES_BROWSE).Then(look);
        stage.ClickControl(dialog, IDC_SRC_FILES_BROWSE).Then(look);
        stage.ClickControl(dialog, IDOK);
    });
    EXPECT_EQ(stage.Run(dialog), IDOK);
    EXPECT_EQ(shown, (std::vector<std::string>{"/a/x.jpg;/a/y.png;", "/a/x.jpg;/a/y.png;", manyList}));
    EXPECT_EQ(dialog.m_nSrcFileType, 0) << "choosing files does not switch the mode";
    EXPECT_EQ(dialog.m_strSrcFileSite, manyList) << "a selection of any size is taken whole";
    ASSERT_EQ(backend.fileRequests.size(), 3u);
    const FileChooserRequest& first = backend.fileRequests[0];
    EXPECT_TRUE(first.multiSelect);
    EXPECT_EQ(first.initialFolder, CPathHelper().GetExeFolder());
    ASSERT_EQ(first.filters.size(), 2u);
    EXPECT_EQ(first.filters[0].first, "全部图片文件");
    EXPECT_EQ(first.filters[0].second,
              "*.bmp;*.jpg;*.jpeg;*.jpe;*.jfif;*.gif;*.png;*.dib;*.pcx;*.wbmp;*.wmf;*.tif;*.tiff;*.tga");
    EXPECT_EQ(first.filters[1].first, "全部文件");
    EXPECT_EQ(first.filters[1].second, "*.*");
    EXPECT_EQ(backend.fileRequests[1].initialFolder, "") << "a list is set: the chooser picks its own folder";
    EXPECT_EQ(first.owner, window) << "owned by the dialog, the active window";
}

TEST(SourceDlg, FolderChooserOpensOnTheTypedFolderAndFillsTheField)
{
    DialogStage stage;
    auto& backend = *stage.desktop.backend;
    backend.folderChoices.push_back(std::string("/home/user/假日"));
    backend.folderChoices.push_back(std::nullopt);
    CSourceDlg dialog;
    dialog.m_nSrcFileType = 1;
    dialog.m_strSrcFileSite = "/a/x.jpg;";
    std::vector<std::string> shown;
    HWND window = nullptr;
    stage.Then([&] {
        window = dialog.m_hWnd;
        auto look = [&] { shown.push_back(DialogStage::Text(dialog, IDC_SRC_FOLDER_EDIT)); };
        stage.ClickControl(dialog, IDC_SRC_FOLDER_BROWSE).Then(look);
        // Typed but never confirmed: the next chooser opens on it; cancelling keeps the text.
        stage.Then([&] { DialogStage::Type(dialog, IDC_SRC_FOLDER_EDIT, "/home/user/typed"); });
        stage.ClickControl(dialog, IDC_SRC_FOLDER_BROWSE).Then(look);
        stage.ClickControl(dialog, IDCANCEL);
    });
    EXPECT_EQ(stage.Run(dialog), IDCANCEL);
    EXPECT_EQ(shown, (std::vector<std::string>{"/home/user/假日", "/home/user/typed"}));
    ASSERT_EQ(backend.folderRequests.size(), 2u);
    EXPECT_EQ(backend.folderRequests[0].initialFolder, "") << "an empty field preselects nothing";
    EXPECT_EQ(backend.folderRequests[0].title, "请选择您的目录");
    EXPECT_FALSE(backend.folderRequests[0].editBox) << "no folder-name field for the source folder";
    EXPECT_FALSE(backend.folderRequests[0].newStyle);
    EXPECT_EQ(backend.folderRequests[0].owner, window) << "owned by the dialog";
    EXPECT_EQ(backend.folderRequests[1].initialFolder, "/home/user/typed");
    EXPECT_EQ(CSourceDlg::s_strBrowseFolder, "/home/user/typed");
    EXPECT_EQ(dialog.m_nSrcFileType, 1) << "choosing a folder does not switch the mode";
}

}  // namespace
