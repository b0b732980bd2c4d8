// CSetupDlg: the frame set-up shared by the set-up, about and notice dialogs: region shaping,
// background, close button, caption band, the skin faces of their buttons and check boxes,
// and the close button's place.
#pragma once

#include "skin/SkinDlg.h"

class CSkinButton;
class CSkinCheckBox;
class CSkinLabel;

class CSetupDlg : public CSkinDlg {
public:
    // `closeInset`: pixels between the close button's right edge and the client area's right
    // edge (8 for the set-up dialogs, 6 for the about and notice boxes).
    CSetupDlg(UINT templateId, CWnd* parent, int closeInset);

    // The close button's normal face placed `closeInset` pixels from the right edge and 1 pixel
    // below the top; without a close face the empty rectangle 20 pixels from the right, 5 from
    // the top.
    RECT GetCloseButtonRect() override;

protected:
    // Region shaping, the skinned frame's own initialisation (with the first exchange from
    // members to controls), the background, the close faces and the caption settings, then
    // the dialog is centred on its owner.
    void SetUpFrame(UINT backgroundId);
    // OK, Cancel, Apply and Close: the grey faces with the template caption on them.
    static void SetUpTextButton(CSkinButton& button, int x, int y);
    // The three-dot browse buttons: faces only.
    static void SetUpBrowseButton(CSkinButton& button, int x, int y);
    static void SetUpCheckBox(CSkinCheckBox& box);
    // The about and notice labels: white text on the panel's teal, RGB(38, 77, 77).
    static void SetUpPanelLabel(CSkinLabel& label);
    // Moves and sizes a control (client pixels).
    void PlaceControl(int id, int x, int y, int width, int height);

private:
    int m_CloseInset;
};
