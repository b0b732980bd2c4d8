// CMainDlg's preview: the whole client area composed off screen while erasing (frame, banner,
// the first source with its watermark or the default picture), the child controls clipped out
// of the one copy to the window.
#include "app/MainDlg.h"

#include "batch/PathHelper.h"
#include "batch/SplitString.h"
#include "platform/FolderListing.h"
#include "platform/Kernel.h"
#include "res/ResourceIds.h"
#include "skin/SkinDraw.h"

#include <vector>

bool CMainDlg::FindPreviewSource(std::string& source) const
{
    CPathHelper pathHelper;
    if (!FileExists(pathHelper.ResolvePath(m_Settings.WaterMarkFileSite)))
        return false;
    if (m_Settings.SrcFileType == 0) {
        // The folder is listed in the batch run's order, so the preview shows its first file.
        std::string folder = pathHelper.ResolvePath(m_Settings.SrcFolderSite);
        for (const FolderEntry& entry : ListFolder(folder)) {
            if (entry.name.empty() || entry.name.front() == '.' || entry.isDirectory)
                continue;
            std::string candidate = folder + "/" + entry.name;
            if (m_Composer.GetImageType(candidate) != 0) {
                source = std::move(candidate);
                return true;
            }
        }
        return false;
    }
    std::vector<std::string> pieces(MAX_LIST_FILES);
    int count = 0;
    SplitString(m_Settings.SrcFileSite, pieces, count, ';');
    if (count < 1)
        return false;
    std::string first = pathHelper.ResolvePath(pieces[0]);
    if (!FileExists(first))
        return false;
    source = std::move(first);
    return true;
}

BOOL CMainDlg::OnEraseBkgnd(CDC* pDC)
{
    std::string source;
    bool found = FindPreviewSource(source);
    // The first copy of the window to the screen; the labels' captures of the window (WM_PRINT
    // into their own memory DC) are none.
    bool firstOnScreen = !m_bPrinting && !m_bScreenPainted;
    if (!m_bPrinting)
        m_bScreenPainted = true;
    if (m_bFirstErase && !found) {
        m_bFirstErase = false;
        return CSkinDlg::OnEraseBkgnd(pDC);
    }
    m_bFirstErase = false;

    RECT client;
    GetClientRect(&client);
    int width = client.right - client.left;
    int height = client.bottom - client.top;
    CDC memory;
    CBitmap canvas;
    if (!memory.CreateCompatibleDC(nullptr) || !canvas.CreateCompatibleBitmap(pDC, width, height))
        return TRUE;
    HGDIOBJ old = memory.SelectObject(&canvas);
    CSkinDlg::OnEraseBkgnd(&memory);
    if (found) {
        m_Composer.DrawPreview(memory.GetSafeHdc(), kPreviewRect, source,
                               CPathHelper().ResolvePath(m_Settings.WaterMarkFileSite), m_Settings.PosType,
                               m_Settings.PosX, m_Settings.PosY);
    } else {
        CBitmap picture;
        if (picture.LoadBitmap(IDB_DEFAULT_PREVIEW))
            CSkinDraw().DrawTransparentBitmap(&memory, &picture, kDefaultPicturePlace.x, kDefaultPicturePlace.y,
                                              kSkinKey);
    }

    // The exclusions hold for this copy only: a caller's DC (the labels capture the window
    // through WM_PRINT and then colour their own area) gets its clipping back afterwards.
    // The first copy to the screen leaves nothing out: it puts the skin under the controls,
    // which their see-through pixels show from then on, since no later copy touches them.
    int savedDC = SaveDC(pDC->GetSafeHdc());
    CWnd* const clipped[] = {&m_AdBrowser, &m_BtnSource, &m_BtnMarkFile, &m_BtnOutput,  &m_BtnPosition, &m_BtnStart,
                             &m_BtnAbout,  &m_BtnHelp,   &m_BtnHome,     &m_ScrollText, &m_VersionLabel};
    for (CWnd* control : clipped) {
        if (!control->m_hWnd || firstOnScreen)
            continue;
        RECT rect;
        control->GetWindowRect(&rect);
        ScreenToClient(&rect);
        pDC->ExcludeClipRect(&rect);
    }
    pDC->BitBlt(0, 0, width, height, &memory, 0, 0, SRCCOPY);
    RestoreDC(pDC->GetSafeHdc(), savedDC);
    memory.SelectObject(old);
    return TRUE;
}
