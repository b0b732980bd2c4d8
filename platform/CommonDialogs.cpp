// The common choosers over the back end's native choosers.
#include "platform/CommonDialogs.h"

#include "platform/Wnd.h"
#include "platform/WindowSystem.h"

#include <algorithm>
#include <cstring>

namespace {

// Errors of the last chooser call belong to the user-interface thread that made it.
thread_local DWORD t_LastChooserError = 0;

// Disables a top-level owner for the duration of a native chooser, as any modal window does.
class OwnerDisabler {
public:
    explicit OwnerDisabler(HWND owner) : m_Owner(owner ? GetAncestorTopLevel(owner) : nullptr)
    {
        if (m_Owner && IsWindowEnabled(m_Owner)) {
            EnableWindow(m_Owner, FALSE);
            m_Disabled = true;
        }
    }
    ~OwnerDisabler()
    {
        if (m_Disabled && IsWindow(m_Owner))
            EnableWindow(m_Owner, TRUE);
    }
    HWND Owner() const { return m_Owner; }

private:
    HWND m_Owner;
    bool m_Disabled = false;
};

std::string FolderOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The hidden stand-in for the chooser window that the callback talks to.
class FolderChooserSite : public CWnd {
public:
    std::string selection;

protected:
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override
    {
        if (message != BFFM_SETSELECTIONA)
            return CWnd::OnWndMsg(message, wParam, lParam, result);
        if (wParam && lParam)
            selection = reinterpret_cast<const char*>(lParam);
        *result = 0;
        return true;
    }
};

}  // namespace

DWORD CommDlgExtendedError()
{
    return t_LastChooserError;
}

std::optional<std::string> RunOpenFileChooser(OPENFILENAMEA* ofn)
{
    t_LastChooserError = 0;
    WindowSystem* system = WindowSystem::CurrentOrNull();
    if (!system || !ofn)
        return std::nullopt;
    FileChooserRequest request;
    request.title = ofn->lpstrTitle ? ofn->lpstrTitle : "";
    request.multiSelect = (ofn->Flags & OFN_ALLOWMULTISELECT) != 0;
    request.initialFolder = ofn->lpstrInitialDir ? ofn->lpstrInitialDir : "";
    for (const char* entry = ofn->lpstrFilter; entry && *entry;) {
        std::string description = entry;
        entry += description.size() + 1;
        if (!*entry)
            break;
        std::string patterns = entry;
        entry += patterns.size() + 1;
        request.filters.emplace_back(description, patterns);
    }
    // The selected filter pair goes first.
    if (ofn->nFilterIndex > 1 && ofn->nFilterIndex <= request.filters.size())
        std::rotate(request.filters.begin(), request.filters.begin() + (ofn->nFilterIndex - 1),
                    request.filters.begin() + ofn->nFilterIndex);

    OwnerDisabler disabler(ofn->hwndOwner);
    request.owner = disabler.Owner();
    auto chosen = system->GetBackend().ChooseFiles(request);
    if (!chosen || chosen->empty())
        return std::nullopt;

    std::string result;
    const auto& files = *chosen;
    bool oneFolder = true;
    for (const auto& file : files)
        oneFolder = oneFolder && FolderOf(file) == FolderOf(files.front());
    if (files.size() == 1 || !request.multiSelect) {
        result = files.front();
        result.push_back('\0');
    } else if (oneFolder) {
        result = FolderOf(files.front());
        result.push_back('\0');
        for (const auto& file : files) {
            result += NameOf(file);
            result.push_back('\0');
        }
    } else {
        // Names from several folders are handed on as full paths after an empty folder.
        result.push_back('\0');
        for (const auto& file : files) {
            result += file;
            result.push_back('\0');
        }
    }
    result.push_back('\0');
    size_t slash = files.front().rfind('/');
    ofn->nFileOffset = static_cast<WORD>(files.size() == 1 && slash != std::string::npos ? slash + 1 : 0);
    return result;
}

BOOL GetOpenFileNameA(OPENFILENAMEA* ofn)
{
    if (!ofn || !ofn->lpstrFile || ofn->nMaxFile == 0) {
        t_LastChooserError = 0;
        return FALSE;
    }
    std::optional<std::string> result = RunOpenFileChooser(ofn);
    if (!result)
        return FALSE;
    if (result->size() > ofn->nMaxFile) {
        t_LastChooserError = FNERR_BUFFERTOOSMALL;
        return FALSE;
    }
    std::memcpy(ofn->lpstrFile, result->data(), result->size());
    return TRUE;
}

PIDLIST_ABSOLUTE SHBrowseForFolderA(BROWSEINFOA* info)
{
    WindowSystem* system = WindowSystem::CurrentOrNull();
    if (!system || !info)
        return nullptr;
    FolderChooserRequest request;
    request.title = info->lpszTitle ? info->lpszTitle : "";
    request.editBox = (info->ulFlags & BIF_EDITBOX) != 0;
    request.statusText = (info->ulFlags & BIF_STATUSTEXT) != 0;
    request.newStyle = (info->ulFlags & BIF_NEWDIALOGSTYLE) != 0;
    {
        FolderChooserSite site;
        site.CreateEx(0, nullptr, request.title.c_str(), WS_POPUP, {0, 0, 0, 0}, nullptr, 0);
        if (info->lpfn)
            info->lpfn(site.m_hWnd, BFFM_INITIALIZED, 0, info->lParam);
        request.initialFolder = site.selection;
    }
    OwnerDisabler disabler(info->hwndOwner);
    request.owner = disabler.Owner();
    auto chosen = system->GetBackend().ChooseFolder(request);
    if (!chosen)
        return nullptr;
    if (info->pszDisplayName) {
        std::string name = NameOf(*chosen);
        size_t count = std::min(name.size(), MAX_PATH - 1);
        std::memcpy(info->pszDisplayName, name.data(), count);
        info->pszDisplayName[count] = '\0';
    }
    return new ItemIdList{*chosen};
}

BOOL SHGetPathFromIDListA(PIDLIST_ABSOLUTE list, char* path)
{
    if (!list || !path || list->path.empty() || list->path.size() >= MAX_PATH)
        return FALSE;
    std::memcpy(path, list->path.c_str(), list->path.size() + 1);
    return TRUE;
}

void CoTaskMemFree(PIDLIST_ABSOLUTE list)
{
    delete list;
}
