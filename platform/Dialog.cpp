// CDialog: template creation in dialog units, the modal loop, OK and Cancel.
#include "platform/Dialog.h"

#include "platform/DialogTemplate.h"
#include "platform/WindowSystem.h"

int DialogUnitsToPixelsX(int units)
{
    return MulDiv(units, 6, 4);
}
int DialogUnitsToPixelsY(int units)
{
    return MulDiv(units, 12, 8);
}

CDialog::CDialog(UINT templateId, CWnd* parent) : m_nIDTemplate(templateId), m_pParentWnd(parent) {}

CDialog::~CDialog()
{
    if (m_Font)
        DeleteObject(m_Font);
}

intptr_t CDialog::DoModal()
{
    WindowSystem* system = WindowSystem::CurrentOrNull();
    if (!system || m_hWnd)
        return -1;
    if (!system->IsUiThread()) {
        intptr_t result = -1;
        system->InvokeOnUiThread([&] { result = DoModal(); });
        return result;
    }
    const DialogTemplate* dialogTemplate = system->Resources().FindDialog(m_nIDTemplate);
    if (!dialogTemplate)
        return -1;

    // A dialog without a parent is owned by the application's main window.
    HWND owner = nullptr;
    if (m_pParentWnd && IsWindow(m_pParentWnd->m_hWnd)) {
        owner = GetAncestorTopLevel(m_pParentWnd->m_hWnd);
    } else if (CWnd* main = system->GetMainWindow(); main && main != this && IsWindow(main->m_hWnd)) {
        owner = GetAncestorTopLevel(main->m_hWnd);
    }

    DWORD style = (dialogTemplate->style & ~(WS_VISIBLE | WS_CHILD)) | WS_POPUP;
    RECT rect = {0, 0, DialogUnitsToPixelsX(dialogTemplate->cx), DialogUnitsToPixelsY(dialogTemplate->cy)};
    AdjustWindowRectEx(&rect, style, FALSE, dialogTemplate->exStyle);
    POINT origin = {DialogUnitsToPixelsX(dialogTemplate->x), DialogUnitsToPixelsY(dialogTemplate->y)};
    if (owner)
        ::ClientToScreen(owner, &origin);
    OffsetRect(&rect, origin.x - rect.left, origin.y - rect.top);

    if (!m_Font) {
        m_Font = CreateFontA(PointsToFontHeight(dialogTemplate->pointSize * 10), 0, 0, 0, FW_NORMAL, 0, 0, 0,
                             GB2312_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH | FF_DONTCARE, dialogTemplate->fontName.c_str());
    }
    HWND dialog =
        system->Create(dialogTemplate->exStyle, WC_DIALOG, dialogTemplate->title, style, rect, owner, 0, this);
    if (!dialog)
        return -1;
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(m_Font), FALSE);
    for (const auto& item : dialogTemplate->items) {
        HWND control =
            CreateWindowExA(item.exStyle, item.className.c_str(), item.text.c_str(),
                            (item.style & ~WS_VISIBLE) | WS_CHILD, DialogUnitsToPixelsX(item.x),
                            DialogUnitsToPixelsY(item.y), DialogUnitsToPixelsX(item.cx), DialogUnitsToPixelsY(item.cy),
                            dialog, reinterpret_cast<HMENU>(static_cast<intptr_t>(item.id)), nullptr, nullptr);
        if (!control)
            continue;
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(m_Font), FALSE);
        if (item.style & WS_VISIBLE)
            ::ShowWindow(control, SW_SHOWNOACTIVATE);
    }

    bool ownerDisabled = false;
    if (owner && ::IsWindowEnabled(owner)) {
        ::EnableWindow(owner, FALSE);
        ownerDisabled = true;
    }
    LRESULT focusDefault = IsWindow(dialog) ? SendMessage(WM_INITDIALOG) : 0;
    if (IsWindow(dialog)) {
        ::ShowWindow(dialog, SW_SHOW);
        if (focusDefault && !GetFocus()) {
            for (HWND child : dialog->Children()) {
                if ((child->Style() & WS_TABSTOP) && !(child->Style() & WS_DISABLED)) {
                    ::SetFocus(child);
                    break;
                }
            }
        }
    }
    bool finished = system->RunModalLoop([&] { return !IsWindow(dialog) || dialog->DialogEnded(); });
    int result = -1;
    if (finished && IsWindow(dialog) && dialog->DialogEnded())
        result = dialog->DialogResult();
    else if (finished)
        result = IDCANCEL;  // destroyed without EndDialog
    // The owner comes back before the dialog goes, so it becomes the active window again.
    if (ownerDisabled && IsWindow(owner))
        ::EnableWindow(owner, TRUE);
    if (IsWindow(dialog)) {
        ::ShowWindow(dialog, SW_HIDE);
        ::DestroyWindow(dialog);
    }
    m_hWnd = nullptr;
    return result;
}

void CDialog::EndDialog(int result)
{
    ::EndDialog(m_hWnd, result);
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

bool CDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_INITDIALOG) {
        *result = OnInitDialog();
        return true;
    }
    if (message == WM_COMMAND && (HIWORD(wParam) == BN_CLICKED)) {
        if (LOWORD(wParam) == IDOK) {
            OnOK();
            *result = 0;
            return true;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            OnCancel();
            *result = 0;
            return true;
        }
    }
    return CWnd::OnWndMsg(message, wParam, lParam, result);
}
