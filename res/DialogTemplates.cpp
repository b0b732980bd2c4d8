// Dialog templates 102 and 130 to 135: frames and controls in dialog units, with their texts.
#include "res/DialogTemplates.h"

#include "res/ResourceIds.h"

namespace {

constexpr char kWebBrowserClass[] = "{8856F961-340A-11D0-A96B-00C04FD705A2}";

constexpr DWORD kPushButton = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kDefaultButton = WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON;
constexpr DWORD kCheckBox = WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr DWORD kEdit = WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_LEFT | ES_AUTOHSCROLL;
constexpr DWORD kSetupDialog = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;

DialogItemTemplate Item(int id, const char* className, int x, int y, int cx, int cy, DWORD style, const char* text = "")
{
    DialogItemTemplate item;
    item.id = id;
    item.className = className;
    item.x = x;
    item.y = y;
    item.cx = cx;
    item.cy = cy;
    item.style = WS_CHILD | style;
    item.text = text;
    return item;
}

DialogTemplate Frame(DWORD style, DWORD exStyle, int cx, int cy, const char* title,
                     std::vector<DialogItemTemplate> items)
{
    DialogTemplate dialog;
    dialog.style = style;
    dialog.exStyle = exStyle;
    dialog.cx = cx;
    dialog.cy = cy;
    dialog.title = title;
    dialog.fontName = "宋体";
    dialog.pointSize = 9;
    dialog.items = std::move(items);
    return dialog;
}

// The main window. Only the ids, the five command captions and the label sizes survive the
// skin set-up; everything else is moved and resized there.
DialogTemplate MainTemplate()
{
    constexpr DWORD kLabel = WS_VISIBLE | WS_GROUP | SS_LEFT;
    return Frame(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME | DS_SETFONT,
                 WS_EX_APPWINDOW, 464, 441, "Tessmark-Orvel软件系列",
                 {
                     Item(IDC_BTN_SOURCE, WC_BUTTON, 20, 19, 70, 14, kPushButton, "指定图片文件"),
                     Item(IDC_WEB_AD, kWebBrowserClass, 320, 90, 137, 61, WS_VISIBLE | WS_TABSTOP),
                     Item(IDC_BTN_MARKFILE, WC_BUTTON, 20, 37, 70, 14, kPushButton, "指定水印文件"),
                     Item(IDC_BTN_OUTPUT, WC_BUTTON, 21, 55, 70, 14, kPushButton, "指定输出目录"),
                     Item(IDC_BTN_POSITION, WC_BUTTON, 21, 70, 70, 14, kPushButton, "指定水印位置"),
                     Item(IDC_BTN_START, WC_BUTTON, 147, 52, 70, 14, kPushButton, "开始"),
                     Item(IDC_STATIC_STATUS, WC_STATIC, 112, 7, 58, 39, kLabel, "处理情况"),
                     Item(IDC_BTN_HOME, WC_BUTTON, 223, 27, 50, 14, kPushButton, "首页"),
                     Item(IDC_BTN_HELP, WC_BUTTON, 283, 28, 50, 14, kPushButton, "帮助"),
                     Item(IDC_BTN_ABOUT, WC_BUTTON, 248, 51, 50, 14, kPushButton, "关于"),
                     Item(IDC_STATIC_VERSION, WC_STATIC, 119, 89, 127, 21, kLabel, "版本"),
                 });
}

// The set-up dialogs are 394 pixels wide (263 units); their backgrounds size them. Controls
// stand near the pixel places the dialogs move them to, so an unskinned dialog is usable too.
DialogTemplate SourceTemplate()
{
    return Frame(kSetupDialog, 0, 263, 143, "指定图片文件",
                 {
                     Item(IDOK, WC_BUTTON, 73, 119, 46, 15, kDefaultButton, "确 定"),
                     Item(IDCANCEL, WC_BUTTON, 147, 119, 46, 15, kPushButton, "取 消"),
                     Item(IDC_SRC_MODE_FOLDER, WC_BUTTON, 35, 50, 10, 9, kCheckBox),
                     Item(IDC_SRC_FOLDER_EDIT, WC_EDIT, 50, 63, 163, 9, kEdit),
                     Item(IDC_SRC_FOLDER_BROWSE, WC_BUTTON, 219, 62, 12, 12, kPushButton, "..."),
                     Item(IDC_SRC_MODE_FILES, WC_BUTTON, 35, 76, 10, 9, kCheckBox),
                     Item(IDC_SRC_FILES_EDIT, WC_EDIT, 50, 90, 163, 9, kEdit),
                     Item(IDC_SRC_FILES_BROWSE, WC_BUTTON, 219, 88, 12, 12, kPushButton, "..."),
                 });
}

DialogTemplate OneFieldTemplate(const char* title, int editId, int browseId)
{
    return Frame(kSetupDialog, 0, 263, 107, title,
                 {
                     Item(IDOK, WC_BUTTON, 73, 80, 46, 15, kDefaultButton, "确 定"),
                     Item(IDCANCEL, WC_BUTTON, 147, 80, 46, 15, kPushButton, "取 消"),
                     Item(editId, WC_EDIT, 50, 49, 163, 9, kEdit),
                     Item(browseId, WC_BUTTON, 219, 47, 12, 12, kPushButton, "..."),
                 });
}

DialogTemplate PositionTemplate()
{
    struct Row {
        int check;
        int fieldX;
        int fieldY;
        const char* horizontal;
        const char* vertical;
    };
    const Row rows[4] = {
        {IDC_POS_CHECK_TOPLEFT, IDC_POS_X_TOPLEFT, IDC_POS_Y_TOPLEFT, "左边距", "上边距"},
        {IDC_POS_CHECK_TOPRIGHT, IDC_POS_X_TOPRIGHT, IDC_POS_Y_TOPRIGHT, "右边距", "上边距"},
        {IDC_POS_CHECK_BOTTOMLEFT, IDC_POS_X_BOTTOMLEFT, IDC_POS_Y_BOTTOMLEFT, "左边距", "下边距"},
        {IDC_POS_CHECK_BOTTOMRIGHT, IDC_POS_X_BOTTOMRIGHT, IDC_POS_Y_BOTTOMRIGHT, "右边距", "下边距"},
    };
    const int checkTop[4] = {48, 63, 79, 94};
    const int fieldTop[4] = {49, 65, 80, 95};
    std::vector<DialogItemTemplate> items = {
        Item(IDOK, WC_BUTTON, 53, 119, 46, 15, kDefaultButton, "确 定"),
        Item(IDCANCEL, WC_BUTTON, 113, 119, 46, 15, kPushButton, "取 消"),
        Item(IDC_POS_APPLY, WC_BUTTON, 173, 119, 46, 15, kPushButton, "应用"),
    };
    for (int corner = 0; corner < 4; ++corner) {
        const Row& row = rows[corner];
        items.push_back(Item(row.check, WC_BUTTON, 33, checkTop[corner], 10, 9, kCheckBox));
        items.push_back(Item(row.fieldX, WC_EDIT, 116, fieldTop[corner], 17, 9, kEdit));
        items.push_back(Item(row.fieldY, WC_EDIT, 190, fieldTop[corner], 17, 9, kEdit));
    }
    // The margin names and units; hidden, since the background carries the same labels.
    for (int corner = 0; corner < 4; ++corner) {
        const Row& row = rows[corner];
        int y = fieldTop[corner] + 1;
        items.push_back(Item(IDC_STATIC_NONE, WC_STATIC, 89, y, 24, 8, SS_LEFT, row.horizontal));
        items.push_back(Item(IDC_STATIC_NONE, WC_STATIC, 136, y, 16, 8, SS_LEFT, "像素"));
        items.push_back(Item(IDC_STATIC_NONE, WC_STATIC, 163, y, 24, 8, SS_LEFT, row.vertical));
        items.push_back(Item(IDC_STATIC_NONE, WC_STATIC, 210, y, 16, 8, SS_LEFT, "像素"));
    }
    return Frame(kSetupDialog, 0, 263, 143, "指定水印位置", std::move(items));
}

DialogTemplate AboutTemplate()
{
    return Frame(kSetupDialog, 0, 184, 113, "关于",
                 {
                     Item(IDOK, WC_BUTTON, 70, 87, 46, 15, kDefaultButton, "关 闭"),
                     Item(IDC_ABOUT_VERSION, WC_STATIC, 89, 58, 77, 8, WS_VISIBLE | SS_LEFT, "Tessmark 1.00"),
                 });
}

DialogTemplate NoticeTemplate()
{
    return Frame(kSetupDialog, 0, 184, 113, "提示",
                 {
                     Item(IDOK, WC_BUTTON, 70, 87, 46, 15, kDefaultButton, "确 定"),
                     Item(IDC_NOTICE_MESSAGE, WC_STATIC, 66, 45, 83, 27, WS_VISIBLE | SS_CENTER, "Static"),
                 });
}

}  // namespace

std::vector<ProgramDialog> ProgramDialogTemplates()
{
    std::vector<ProgramDialog> dialogs;
    dialogs.push_back({IDD_MAIN, MainTemplate()});
    dialogs.push_back({IDD_SOURCE, SourceTemplate()});
    dialogs.push_back({IDD_MARKFILE, OneFieldTemplate("指定水印文件", IDC_MARK_EDIT, IDC_MARK_BROWSE)});
    dialogs.push_back({IDD_OUTPUT, OneFieldTemplate("指定输出目录", IDC_OUTPUT_EDIT, IDC_OUTPUT_BROWSE)});
    dialogs.push_back({IDD_POSITION, PositionTemplate()});
    dialogs.push_back({IDD_ABOUT, AboutTemplate()});
    dialogs.push_back({IDD_NOTICE, NoticeTemplate()});
    return dialogs;
}
