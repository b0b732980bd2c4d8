// The file and folder choosers: requests handed to the back end, results handed back.
#include "tests/platform/HeadlessDesktop.h"

#include "platform/CommonDialogs.h"
#include "platform/FileDialog.h"

#include <gtest/gtest.h>

namespace {

constexpr char kImageFilter[] = "全部图片文件|*.bmp;*.jpg;*.jpeg;*.png|全部文件|*.*|";

TEST(FileChooser, MultipleSelectionComesBackPathByPath)
{
    HeadlessDesktop desktop;
    desktop.backend->fileChoices.push_back(std::vector<std::string>{"/pics/x.jpg", "/pics/y.png"});
    CFileDialog chooser(TRUE, nullptr, nullptr, 0x206, kImageFilter);
    chooser.m_ofn.lpstrInitialDir = "/opt/tessmark/";
    ASSERT_EQ(chooser.DoModal(), IDOK);

    std::vector<std::string> paths;
    for (POSITION position = chooser.GetStartPosition(); position;)
        paths.push_back(chooser.GetNextPathName(position));
    EXPECT_EQ(paths, (std::vector<std::string>{"/pics/x.jpg", "/pics/y.png"}));

    ASSERT_EQ(desktop.backend->fileRequests.size(), 1u);
    const FileChooserRequest& request = desktop.backend->fileRequests[0];
    EXPECT_TRUE(request.multiSelect);
    EXPECT_EQ(request.initialFolder, "/opt/tessmark/");
    ASSERT_EQ(request.filters.size(), 2u);
    EXPECT_EQ(request.filters[0].first, "全部图片文件");
    EXPECT_EQ(request.filters[0].second, "*.bmp;*.jpg;*.jpeg;*.png");
    EXPECT_EQ(request.filters[1].second, "*.*");
}

TEST(FileChooser, SingleSelectionCancelAndOverflow)
{
    HeadlessDesktop desktop;
    desktop.backend->fileChoices.push_back(std::vector<std::string>{"/marks/logo.png"});
    desktop.backend->fileChoices.push_back(std::nullopt);
    desktop.backend->fileChoices.push_back(std::vector<std::string>{"/" + std::string(300, 'a') + ".png"});

    CFileDialog single(TRUE, nullptr, nullptr, 0x6, kImageFilter);
    ASSERT_EQ(single.DoModal(), IDOK);
    EXPECT_EQ(single.GetPathName(), "/marks/logo.png");
    EXPECT_FALSE(desktop.backend->fileRequests[0].multiSelect);

    CFileDialog cancelled(TRUE, nullptr, nullptr, 0x6, kImageFilter);
    EXPECT_EQ(cancelled.DoModal(), IDCANCEL);

    char small[MAX_PATH] = {};
    OPENFILENAMEA ofn;
    ofn.lpstrFile = small;
    ofn.nMaxFile = MAX_PATH;
    EXPECT_FALSE(GetOpenFileNameA(&ofn)) << "a result longer than the caller's buffer fails";
    EXPECT_EQ(CommDlgExtendedError(), FNERR_BUFFERTOOSMALL);
}

TEST(FileChooser, TheWrapperTakesASelectionOfAnySizeWhole)
{
    HeadlessDesktop desktop;
    std::vector<std::string> files;
    for (int i = 0; i < 150; ++i)
        files.push_back("/pictures/" + std::string(40, 'p') + std::to_string(i) + ".jpg");
    desktop.backend->fileChoices.push_back(files);
    desktop.backend->fileChoices.push_back(std::vector<std::string>{"/" + std::string(300, 'a') + ".png"});

    CFileDialog many(TRUE, nullptr, nullptr, 0x206, kImageFilter);
    ASSERT_EQ(many.DoModal(), IDOK);
    std::vector<std::string> paths;
    for (POSITION position = many.GetStartPosition(); position;)
        paths.push_back(many.GetNextPathName(position));
    EXPECT_EQ(paths, files);

    CFileDialog longName(TRUE, nullptr, nullptr, 0x6, kImageFilter);
    ASSERT_EQ(longName.DoModal(), IDOK);
    EXPECT_EQ(longName.GetPathName(), "/" + std::string(300, 'a') + ".png");
}

int Preselect(HWND chooser, UINT message, LPARAM, LPARAM data)
{
    if (message == BFFM_INITIALIZED)
        SendMessageA(chooser, BFFM_SETSELECTIONA, TRUE, data);
    return 0;
}

TEST(FolderChooser, CallbackPreselectsAndThePathComesBack)
{
    HeadlessDesktop desktop;
    ProbeWindow owner;
    owner.CreateEx(0, nullptr, "", WS_POPUP | WS_VISIBLE, {0, 0, 100, 100}, nullptr, 0);
    desktop.backend->folderChoices.push_back(std::string("/home/user/输出"));
    std::string typed = "/home/user/typed";
    char displayName[MAX_PATH] = {};
    BROWSEINFOA info;
    info.hwndOwner = owner.m_hWnd;
    info.pszDisplayName = displayName;
    info.lpszTitle = "请选择您的目录";
    info.ulFlags = 0x55;
    info.lpfn = Preselect;
    info.lParam = reinterpret_cast<LPARAM>(typed.c_str());
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderA(&info);
    ASSERT_NE(chosen, nullptr);
    char path[MAX_PATH];
    ASSERT_TRUE(SHGetPathFromIDListA(chosen, path));
    EXPECT_STREQ(path, "/home/user/输出");
    EXPECT_STREQ(displayName, "输出");
    CoTaskMemFree(chosen);

    const FolderChooserRequest& request = desktop.backend->folderRequests.at(0);
    EXPECT_EQ(request.initialFolder, typed);
    EXPECT_EQ(request.title, "请选择您的目录");
    EXPECT_TRUE(request.editBox);
    EXPECT_TRUE(request.statusText);
    EXPECT_TRUE(request.newStyle);
    EXPECT_EQ(request.owner, owner.m_hWnd);
    EXPECT_TRUE(IsWindowEnabled(owner.m_hWnd));

    info.ulFlags = 1;
    info.lpfn = nullptr;
    EXPECT_EQ(SHBrowseForFolderA(&info), nullptr) << "cancelled";
    EXPECT_EQ(desktop.backend->folderRequests.at(1).initialFolder, "");
    EXPECT_FALSE(desktop.backend->folderRequests.at(1).editBox);
}

}  // namespace
