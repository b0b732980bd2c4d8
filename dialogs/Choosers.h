// What the set-up dialogs share about the system choosers: the picture filter, the folder the
// file choosers start in, and one run of the folder chooser.
#pragma once

#include "platform/CommonDialogs.h"

#include <optional>
#include <string>

// Pairs of description and pattern list, separated and ended by "|"; the first pair is
// selected. Patterns match whatever the letter case.
constexpr char IMAGE_FILE_FILTER[] = "全部图片文件|*.bmp;*.jpg;*.jpeg;*.jpe;*.jfif;*.gif;*.png;*.dib;*.pcx;*.wbmp;*."
                                     "wmf;*.tif;*.tiff;*.tga|全部文件|*.*|";

// The folder title of both folder choosers.
constexpr char kBrowseFolderTitle[] = "请选择您的目录";

// Where a file chooser starts when its field is empty: the executable's folder, or the home
// folder when the program cannot write there (an installed program keeps its files elsewhere).
std::string ExeFolderForChooser();

// Runs the folder chooser owned by `owner` over the whole namespace with the folder title,
// `flags` and `callback`; the chosen folder's path, or nothing when it was cancelled or the
// choice has no file-system path.
std::optional<std::string> BrowseForFolder(HWND owner, UINT flags, BFFCALLBACK callback);
