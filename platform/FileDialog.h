// CFileDialog: the framework's wrapper of the file-open chooser, with its "|"-separated filter
// and the walk over a multiple selection.
#pragma once

#include "platform/CommonDialogs.h"

#include <string>
#include <vector>

class CWnd;

using POSITION = size_t;  // 0: no more names

class CFileDialog {
public:
    CFileDialog(BOOL openFileDialog, const char* defaultExtension = nullptr, const char* fileName = nullptr,
                DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, const char* filter = nullptr,
                CWnd* parent = nullptr);
    virtual ~CFileDialog() = default;

    // IDOK when files were chosen, IDCANCEL otherwise. Without a parent the chooser is owned
    // by the active window. A selection of any size is taken whole while lpstrFile is the
    // wrapper's own buffer; a buffer of the caller's keeps the file-open call's limit.
    virtual intptr_t DoModal();

    std::string GetPathName() const;
    POSITION GetStartPosition() const;
    std::string GetNextPathName(POSITION& position) const;

    OPENFILENAMEA m_ofn;

private:
    std::string m_Filter;
    std::string m_DefaultExtension;
    std::string m_InitialFolder;
    std::vector<char> m_File;
    CWnd* m_Parent;
};
