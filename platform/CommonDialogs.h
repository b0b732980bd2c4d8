// The common choosers with their Win32 names: the file-open chooser (GetOpenFileNameA) and the
// folder chooser (SHBrowseForFolderA), both shown by the back end's native choosers.
#pragma once

#include "platform/WinUser.h"

#include <optional>
#include <string>

// ---- File-open chooser ---------------------------------------------------------------------
constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;
constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
constexpr DWORD OFN_ALLOWMULTISELECT = 0x00000200;
constexpr DWORD OFN_FILEMUSTEXIST = 0x00001000;
constexpr DWORD OFN_EXPLORER = 0x00080000;
constexpr DWORD FNERR_BUFFERTOOSMALL = 0x3003;
constexpr size_t MAX_PATH = 260;

struct OPENFILENAMEA {
    DWORD lStructSize = sizeof(OPENFILENAMEA);
    HWND hwndOwner = nullptr;
    // Pairs of description and ';'-separated patterns, each NUL-terminated, ending with an
    // extra NUL.
    const char* lpstrFilter = nullptr;
    DWORD nFilterIndex = 1;
    // In: the initial file name; out: one full path, or with OFN_ALLOWMULTISELECT and several
    // files the folder, then each name, each NUL-terminated, with an extra NUL at the end.
    char* lpstrFile = nullptr;
    DWORD nMaxFile = 0;
    const char* lpstrInitialDir = nullptr;
    const char* lpstrTitle = nullptr;
    DWORD Flags = 0;
    WORD nFileOffset = 0;
    const char* lpstrDefExt = nullptr;
};

// False when cancelled or when the result does not fit lpstrFile (CommDlgExtendedError then
// answers FNERR_BUFFERTOOSMALL). The owner is disabled while the chooser is open.
BOOL GetOpenFileNameA(OPENFILENAMEA* ofn);
DWORD CommDlgExtendedError();
// Runs the file-open chooser as GetOpenFileNameA does, but answers the whole result (the
// buffer contents with their NULs) instead of copying it into lpstrFile, so a caller can take
// a selection of any size; null when cancelled. lpstrFile and nMaxFile are not used.
std::optional<std::string> RunOpenFileChooser(OPENFILENAMEA* ofn);

// ---- Folder chooser ------------------------------------------------------------------------
constexpr UINT BIF_RETURNONLYFSDIRS = 0x0001;
constexpr UINT BIF_STATUSTEXT = 0x0004;
constexpr UINT BIF_EDITBOX = 0x0010;
constexpr UINT BIF_NEWDIALOGSTYLE = 0x0040;
constexpr UINT BFFM_INITIALIZED = 1;
constexpr UINT BFFM_SETSELECTIONA = WM_USER + 102;

// The chosen folder; free it with CoTaskMemFree.
struct ItemIdList {
    std::string path;
};
using PIDLIST_ABSOLUTE = ItemIdList*;
using BFFCALLBACK = int (*)(HWND chooser, UINT message, LPARAM parameter, LPARAM data);

struct BROWSEINFOA {
    HWND hwndOwner = nullptr;
    PIDLIST_ABSOLUTE pidlRoot = nullptr;
    char* pszDisplayName = nullptr;  // MAX_PATH bytes: the chosen folder's own name
    const char* lpszTitle = nullptr;
    UINT ulFlags = 0;
    BFFCALLBACK lpfn = nullptr;
    LPARAM lParam = 0;
    int iImage = 0;
};

// Runs the folder chooser. The callback is called with BFFM_INITIALIZED first; sending the
// chooser BFFM_SETSELECTIONA (wParam TRUE, lParam the path text) then preselects a folder.
// Null when cancelled.
PIDLIST_ABSOLUTE SHBrowseForFolderA(BROWSEINFOA* info);
// Copies the folder's path into a MAX_PATH buffer; false when it has none or it does not fit.
BOOL SHGetPathFromIDListA(PIDLIST_ABSOLUTE list, char* path);
void CoTaskMemFree(PIDLIST_ABSOLUTE list);
