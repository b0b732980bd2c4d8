// Data exchange between a dialog's controls and its members, with the integer validation.
#pragma once

#include "platform/WinUser.h"

#include <stdexcept>
#include <string>
#include <string_view>

class CWnd;

// Thrown by CDataExchange::Fail and caught by CWnd::UpdateData: a control's text was refused.
class DataExchangeFailure : public std::runtime_error {
public:
    DataExchangeFailure() : std::runtime_error("data exchange failed") {}
};

// The message shown when an integer field holds no integer.
constexpr char kIntegerRequired[] = "请键入一个整数。";

class CDataExchange {
public:
    CDataExchange(CWnd* dialog, BOOL saveAndValidate) : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog) {}

    // The control `id` of the dialog, remembered for Fail; null when it does not exist.
    HWND PrepareCtrl(int id);
    HWND PrepareEditCtrl(int id);
    // Puts the focus on the last prepared control (selecting an edit's whole text) and stops
    // the exchange.
    [[noreturn]] void Fail();

    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;

private:
    HWND m_LastControl = nullptr;
    bool m_LastIsEdit = false;
};

// Attaches `control` to the dialog's control `id` (once).
void DDX_Control(CDataExchange* exchange, int id, CWnd& control);
void DDX_Text(CDataExchange* exchange, int id, std::string& value);
// An integer field: on saving, a text that is not an integer shows "请键入一个整数。" and fails.
void DDX_Text(CDataExchange* exchange, int id, int& value);

// Reads an integer as the integer field does: optional blanks or tabs, an optionally signed
// decimal number, optional blanks or tabs, nothing else; a value of 0 must be written with the
// digit 0 first; only the first 31 characters count. Values outside the 32-bit range are refused.
bool ParseIntegerField(std::string_view text, int& value);
