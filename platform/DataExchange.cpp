// Data exchange between a dialog's controls and its members.
#include "platform/DataExchange.h"

#include "platform/Wnd.h"
#include "platform/WindowSystem.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

HWND CDataExchange::PrepareCtrl(int id)
{
    m_LastControl = ::GetDlgItem(m_pDlgWnd->m_hWnd, id);
    m_LastIsEdit = false;
    return m_LastControl;
}

HWND CDataExchange::PrepareEditCtrl(int id)
{
    HWND control = PrepareCtrl(id);
    m_LastIsEdit = true;
    return control;
}

void CDataExchange::Fail()
{
    if (m_bSaveAndValidate && IsWindow(m_LastControl)) {
        ::SetFocus(m_LastControl);
        if (m_LastIsEdit)
            ::SendMessageA(m_LastControl, EM_SETSEL, 0, -1);
    }
    throw DataExchangeFailure();
}

void DDX_Control(CDataExchange* exchange, int id, CWnd& control)
{
    if (control.m_hWnd)
        return;
    HWND window = exchange->PrepareCtrl(id);
    if (window)
        control.SubclassWindow(window);
}

void DDX_Text(CDataExchange* exchange, int id, std::string& value)
{
    HWND control = exchange->PrepareEditCtrl(id);
    if (!control)
        return;
    if (exchange->m_bSaveAndValidate)
        value = GetWindowTextString(control);
    else
        ::SetWindowTextA(control, value.c_str());
}

bool ParseIntegerField(std::string_view text, int& value)
{
    std::string field(text.substr(0, 31));
    size_t position = 0;
    while (position < field.size() && (field[position] == ' ' || field[position] == '\t'))
        ++position;
    char first = position < field.size() ? field[position] : '\0';
    // Only an optional sign and decimal digits may follow the blanks.
    size_t digits = position;
    if (digits < field.size() && (field[digits] == '+' || field[digits] == '-'))
        ++digits;
    size_t digitStart = digits;
    while (digits < field.size() && field[digits] >= '0' && field[digits] <= '9')
        ++digits;
    if (digits == digitStart)
        return false;
    errno = 0;
    long long number = std::strtoll(field.c_str() + position, nullptr, 10);
    if (errno == ERANGE || number > INT_MAX || number < INT_MIN)
        return false;
    if (number == 0 && first != '0')
        return false;
    size_t rest = digits;
    while (rest < field.size() && (field[rest] == ' ' || field[rest] == '\t'))
        ++rest;
    if (rest != field.size())
        return false;
    value = static_cast<int>(number);
    return true;
}

void DDX_Text(CDataExchange* exchange, int id, int& value)
{
    HWND control = exchange->PrepareEditCtrl(id);
    if (!control)
        return;
    if (!exchange->m_bSaveAndValidate) {
        ::SetWindowTextA(control, std::to_string(value).c_str());
        return;
    }
    int parsed = 0;
    if (!ParseIntegerField(GetWindowTextString(control), parsed)) {
        // The framework's message boxes carry the program's name as their title.
        MessageBoxA(exchange->m_pDlgWnd->m_hWnd, kIntegerRequired, "Tessmark", MB_OK | MB_ICONEXCLAMATION);
        exchange->Fail();
    }
    value = parsed;
}
