// CFileDialog over GetOpenFileNameA.
#include "platform/FileDialog.h"

#include "platform/Wnd.h"

#include <cstring>

CFileDialog::CFileDialog(BOOL, const char* defaultExtension, const char* fileName, DWORD flags, const char* filter,
                         CWnd* parent)
    : m_File(MAX_PATH, '\0'), m_Parent(parent)
{
    if (filter) {
        m_Filter = filter;
        for (char& c : m_Filter)
            if (c == '|')
                c = '\0';
        m_Filter.push_back('\0');
    }
    if (defaultExtension)
        m_DefaultExtension = defaultExtension;
    if (fileName)
        std::strncpy(m_File.data(), fileName, m_File.size() - 1);
    m_ofn.Flags = flags | OFN_EXPLORER;
    m_ofn.lpstrFilter = filter ? m_Filter.c_str() : nullptr;
    m_ofn.lpstrDefExt = defaultExtension ? m_DefaultExtension.c_str() : nullptr;
    m_ofn.lpstrFile = m_File.data();
    m_ofn.nMaxFile = static_cast<DWORD>(m_File.size());
}

intptr_t CFileDialog::DoModal()
{
    // The caller may have pointed the buffer elsewhere, as the framework allows.
    m_ofn.hwndOwner = m_Parent ? m_Parent->m_hWnd : GetActiveWindow();
    if (m_ofn.lpstrFile != m_File.data())
        return GetOpenFileNameA(&m_ofn) ? IDOK : IDCANCEL;
    // In its own buffer the wrapper takes a selection of any size: the buffer grows to fit.
    std::optional<std::string> result = RunOpenFileChooser(&m_ofn);
    if (!result)
        return IDCANCEL;
    m_File.assign(result->begin(), result->end());
    if (m_File.size() < MAX_PATH)
        m_File.resize(MAX_PATH, '\0');
    m_ofn.lpstrFile = m_File.data();
    m_ofn.nMaxFile = static_cast<DWORD>(m_File.size());
    return IDOK;
}

std::string CFileDialog::GetPathName() const
{
    POSITION position = GetStartPosition();
    return position ? GetNextPathName(position) : std::string();
}

POSITION CFileDialog::GetStartPosition() const
{
    return m_ofn.lpstrFile && m_ofn.lpstrFile[0] ? 1 : 0;
}

std::string CFileDialog::GetNextPathName(POSITION& position) const
{
    const char* buffer = m_ofn.lpstrFile;
    if (!buffer || position == 0)
        return {};
    std::string first = buffer;
    const char* second = buffer + first.size() + 1;
    if (!(m_ofn.Flags & OFN_ALLOWMULTISELECT) || (*second == '\0' && !first.empty())) {
        position = 0;  // one full path
        return first;
    }
    // A folder (possibly empty), then names; position - 1 is the offset of the next name.
    size_t offset = position == 1 ? first.size() + 1 : position - 1;
    std::string name = buffer + offset;
    size_t next = offset + name.size() + 1;
    position = buffer[next] == '\0' ? 0 : next + 1;
    if (first.empty() || (!name.empty() && name.front() == '/'))
        return name;
    return first == "/" ? "/" + name : first + "/" + name;
}
