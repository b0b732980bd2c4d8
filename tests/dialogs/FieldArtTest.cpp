// Every dialog's edit fields stand on the white field areas that its background art draws.
#include "tests/dialogs/DialogStage.h"

#include "dialogs/MarkFileDlg.h"
#include "dialogs/OutputDlg.h"
#include "dialogs/PositionDlg.h"
#include "dialogs/SourceDlg.h"
#include "res/ResourceIds.h"
#include "res/SkinBitmaps.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

struct Case {
    const char* name;
    std::function<std::unique_ptr<CSetupDlg>()> make;
    int background;
    std::vector<int> edits;
};

TEST(DialogArt, EditFieldsCoverOnlyTheWhiteFieldAreasOfTheBackground)
{
    const Case cases[] = {
        {"source",
         [] { return std::make_unique<CSourceDlg>(); },
         IDB_SOURCE_BACKGROUND,
         {IDC_SRC_FOLDER_EDIT, IDC_SRC_FILES_EDIT}},
        {"watermark file", [] { return std::make_unique<CMarkFileDlg>(); }, IDB_MARKFILE_BACKGROUND, {IDC_MARK_EDIT}},
        {"output folder", [] { return std::make_unique<COutputDlg>(); }, IDB_OUTPUT_BACKGROUND, {IDC_OUTPUT_EDIT}},
        {"position",
         [] { return std::make_unique<CPositionDlg>(); },
         IDB_POSITION_BACKGROUND,
         {IDC_POS_X_TOPLEFT, IDC_POS_Y_TOPLEFT, IDC_POS_X_TOPRIGHT, IDC_POS_Y_TOPRIGHT, IDC_POS_X_BOTTOMLEFT,
          IDC_POS_Y_BOTTOMLEFT, IDC_POS_X_BOTTOMRIGHT, IDC_POS_Y_BOTTOMRIGHT}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DialogStage stage;
        std::unique_ptr<CSetupDlg> dialog = c.make();
        std::vector<RECT> edits;
        stage.Then([&] {
            for (int id : c.edits)
                edits.push_back(DialogStage::ControlRect(*dialog, id));
        });
        stage.Run(*dialog);
        const SkinBitmap* art = FindSkinBitmap(c.background);
        ASSERT_EQ(edits.size(), c.edits.size());
        for (size_t i = 0; i < edits.size(); ++i) {
            SCOPED_TRACE(c.edits[i]);
            const RECT& edit = edits[i];
            ASSERT_GT(edit.right - edit.left, 0);
            int notWhite = 0;
            for (int y = edit.top; y < edit.bottom; ++y)
                for (int x = edit.left; x < edit.right; ++x)
                    notWhite += art->pixels[static_cast<size_t>(y) * art->width + x] != 0xFFFFFF;
            EXPECT_EQ(notWhite, 0) << "the field reaches past the white area of the art";
        }
    }
}

}  // namespace
