// CNoticeDlg: frame set-up, the message label and the message's place on the panel.
#include "dialogs/NoticeDlg.h"

#include "platform/DataExchange.h"
#include "res/ResourceIds.h"

CNoticeDlg::CNoticeDlg(CWnd* parent) : CSetupDlg(IDD_NOTICE, parent, 6) {}

void CNoticeDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDOK, m_btnOk);
    DDX_Control(pDX, IDC_NOTICE_MESSAGE, m_lblMessage);
    DDX_Text(pDX, IDC_NOTICE_MESSAGE, m_strMessage);
}

BOOL CNoticeDlg::OnInitDialog()
{
    SetUpFrame(IDB_NOTICE_BACKGROUND);
    SetUpTextButton(m_btnOk, 105, 131);
    SetUpPanelLabel(m_lblMessage);
    CentreMessage();
    return TRUE;
}

// The static draws its lines from its top edge; the label is narrowed to the height of the
// wrapped message and centred in its template place, so a short message stands in the middle
// of the panel. The teal stays where it was: the panel around the label has the same colour.
void CNoticeDlg::CentreMessage()
{
    RECT place;
    m_lblMessage.GetWindowRect(&place);
    ScreenToClient(&place);
    int width = place.right - place.left;
    int height = place.bottom - place.top;
    HDC dc = GetDC(m_lblMessage.m_hWnd);
    HGDIOBJ oldFont = SelectObject(dc, m_lblMessage.GetFont());
    std::string text;
    for (char c : m_strMessage)
        if (c != '\r')
            text += c;
    RECT measured = {0, 0, width, 0};
    DrawTextA(dc, text.c_str(), -1, &measured, DT_CALCRECT | DT_WORDBREAK | DT_CENTER | DT_NOPREFIX | DT_EXPANDTABS);
    SelectObject(dc, oldFont);
    ReleaseDC(m_lblMessage.m_hWnd, dc);
    int textHeight = measured.bottom - measured.top;
    if (textHeight <= 0 || textHeight >= height)
        return;
    m_lblMessage.SetWindowPos(nullptr, place.left, place.top + (height - textHeight) / 2, width, textHeight,
                              SWP_NOZORDER);
}
