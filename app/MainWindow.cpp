// The main window's description: caption, size, and the 24 controls in their stacking order
// (first entry topmost among siblings). The tab order and first focus follow from this order.
#include "MainWindow.h"

#include "Handlers.h"

namespace {

constexpr int32_t kMainWindowNumber = 0x52010001;

// Group boxes, by name (code page 936).
// clang-format off
#define GROUP_QUERY "\xB7\xD6\xD7\xE9\xBF\xF2" "2"  // 分组框2
#define GROUP_ECHO "\xB7\xD6\xD7\xE9\xBF\xF2" "1"   // 分组框1
// clang-format on

constexpr ControlDescription Control(int32_t position, const char* name, ControlKind kind,
                                     const char* parent, int32_t left, int32_t top, int32_t width,
                                     int32_t height, const char* text) {
    ControlDescription c;
    c.number = 0x06010000 + position;
    c.name = name;
    c.kind = kind;
    c.parent = parent;
    c.left = left;
    c.top = top;
    c.width = width;
    c.height = height;
    c.text = text;
    return c;
}

constexpr ControlDescription Edit(int32_t position, const char* name, const char* parent,
                                  int32_t left, int32_t top, int32_t width, int32_t height,
                                  const char* text, bool multiLine = false,
                                  bool scrollBar = false) {
    ControlDescription c =
        Control(position, name, ControlKind::EditBox, parent, left, top, width, height, text);
    c.tabStop = true;
    c.textColor = kBlack;
    c.background = kWhite;
    c.edit.multiLine = multiLine;
    c.edit.verticalScrollBar = scrollBar;
    return c;
}

constexpr ControlDescription Label(int32_t position, const char* name, const char* parent,
                                   int32_t left, int32_t top, const char* text) {
    return Control(position, name, ControlKind::Label, parent, left, top, 56, 24, text);
}

constexpr ControlDescription Button(int32_t position, const char* name, const char* parent,
                                    int32_t left, int32_t top, int32_t width, int32_t height,
                                    const char* text, ClickHandler onClick) {
    ControlDescription c =
        Control(position, name, ControlKind::Button, parent, left, top, width, height, text);
    c.tabStop = true;
    c.onClick = onClick;
    return c;
}

constexpr ControlDescription Group(int32_t position, const char* name, int32_t left, int32_t top,
                                   int32_t width, int32_t height, const char* text) {
    return Control(position, name, ControlKind::GroupBox, nullptr, left, top, width, height, text);
}

constexpr ControlDescription IconBox() {
    // clang-format off
    ControlDescription c = Control(13, "\xCD\xBC\xC6\xAC\xBF\xF2" "1", ControlKind::PicBox,
                                   nullptr, 72, 260, 100, 100, "");  // 图片框1
    // clang-format on
    c.picture.displayMode = 1;
    c.picture.background = kSystemButtonFace;
    c.picture.animate = true;
    return c;
}

constexpr ControlDescription FileDialog() {
    // clang-format off
    ControlDescription c = Control(1, "\xCD\xA8\xD3\xC3\xB6\xD4\xBB\xB0\xBF\xF2" "1",
                                   ControlKind::CommonDlg, nullptr, 0, 0, 26, 26, "");  // 通用对话框1
    // clang-format on
    c.visible = false;
    return c;
}

constexpr ControlDescription kControls[] = {
    // clang-format off
    FileDialog(),
    Edit(2, "\xB1\xE0\xBC\xAD\xBF\xF2" "8", GROUP_QUERY, 72, 98, 168, 20, ""),  // 编辑框8
    Label(3, "\xB1\xEA\xC7\xA9" "8", GROUP_QUERY, 16, 96,
          "\xCF\xC2\xD4\xD8\xB5\xD8\xD6\xB7\xA3\xBA"),  // 标签8 下载地址：
    Button(4, "\xB0\xB4\xC5\xA5" "4", GROUP_QUERY, 16, 56, 224, 24, "\xB2\xE9\xD1\xAF",
           OnQueryClick),  // 按钮4 查询
    Edit(5, "\xB1\xE0\xBC\xAD\xBF\xF2" "7", GROUP_QUERY, 72, 26, 168, 20, ""),  // 编辑框7
    Label(6, "\xB1\xEA\xC7\xA9" "7", GROUP_QUERY, 16, 24,
          "\xB6\xA9\xB5\xA5\xB1\xE0\xBA\xC5\xA3\xBA"),  // 标签7 订单编号：
    Group(7, GROUP_QUERY, 312, 8, 248, 136,
          "\xB2\xE9\xD1\xAF\xB6\xA9\xB5\xA5\xD7\xB4\xCC\xAC"),  // 查询订单状态
    Edit(8, "\xB1\xE0\xBC\xAD\xBF\xF2" "6", GROUP_ECHO, 8, 16, 232, 248, "", true, true),  // 编辑框6
    Group(9, GROUP_ECHO, 312, 144, 248, 272, "\xBB\xD8\xCF\xD4"),  // 回显
    Button(10, "\xB0\xB4\xC5\xA5" "3", nullptr, 16, 384, 288, 32,
           "\xBF\xAA\xCA\xBC\xB4\xF2\xB0\xFC", OnStartPackagingClick),  // 按钮3 开始打包
    Button(11, "\xB0\xB4\xC5\xA5" "2", nullptr, 208, 328, 80, 24,
           "\xC7\xE5\xBF\xD5\xCD\xBC\xC6\xAC", OnClearImageClick),  // 按钮2 清空图片
    Button(12, "\xB0\xB4\xC5\xA5" "1", nullptr, 208, 264, 80, 24,
           "\xD1\xA1\xD4\xF1\xCD\xBC\xC6\xAC", OnSelectImageClick),  // 按钮1 选择图片
    IconBox(),
    Label(14, "\xB1\xEA\xC7\xA9" "6", nullptr, 16, 256, "APP \xCD\xBC\xB1\xEA\xA3\xBA"),  // 标签6 APP 图标：
    Edit(15, "\xB1\xE0\xBC\xAD\xBF\xF2" "5", nullptr, 72, 144, 224, 104, "", true, false),  // 编辑框5
    Label(16, "\xB1\xEA\xC7\xA9" "5", nullptr, 16, 144,
          "\xC3\xE8\xCA\xF6\xC4\xDA\xC8\xDD\xA3\xBA"),  // 标签5 描述内容：
    Edit(17, "\xB1\xE0\xBC\xAD\xBF\xF2" "4", nullptr, 72, 114, 224, 20, ""),  // 编辑框4
    Label(18, "\xB1\xEA\xC7\xA9" "4", nullptr, 16, 112,
          "\xC3\xE8\xCA\xF6\xB1\xEA\xCC\xE2\xA3\xBA"),  // 标签4 描述标题：
    Edit(19, "\xB1\xE0\xBC\xAD\xBF\xF2" "3", nullptr, 72, 82, 224, 20, "http://www.qq.com"),  // 编辑框3
    Label(20, "\xB1\xEA\xC7\xA9" "3", nullptr, 16, 80,
          "\xCD\xF8\xD5\xBE\xC1\xB4\xBD\xD3\xA3\xBA"),  // 标签3 网站链接：
    Edit(21, "\xB1\xE0\xBC\xAD\xBF\xF2" "2", nullptr, 72, 50, 224, 20, "com.ios.app"),  // 编辑框2
    Label(22, "\xB1\xEA\xC7\xA9" "2", nullptr, 16, 48, "APP \xB0\xFC\xC3\xFB\xA3\xBA"),  // 标签2 APP 包名：
    Edit(23, "\xB1\xE0\xBC\xAD\xBF\xF2" "1", nullptr, 72, 18, 224, 20, ""),  // 编辑框1
    Label(24, "\xB1\xEA\xC7\xA9" "1", nullptr, 16, 16, "APP \xC3\xFB\xB3\xC6\xA3\xBA"),  // 标签1 APP 名称：
    // clang-format on
};

constexpr WindowDescription Describe() {
    WindowDescription w;
    w.number = kMainWindowNumber;
    w.caption = "Orvessa";
    w.width = 576;
    w.height = 453;
    w.escClosesWindow = true;
    w.enterMovesFocus = false;
    w.f1OpensHelp = false;
    w.controls = kControls;
    w.controlCount = static_cast<int32_t>(sizeof kControls / sizeof kControls[0]);
    w.dropFileDialog = kControls[0].name;
    w.onFileDrop = OnImageFileDropped;
    return w;
}

constexpr const ControlDescription& At(MainControl control) {
    return kControls[static_cast<int32_t>(control) - 1];
}

constexpr bool PositionsInOrder() {
    for (int32_t i = 0; i < Describe().controlCount; ++i) {
        if (kControls[i].number != 0x06010000 + i + 1) return false;
    }
    return true;
}

// A mistake in the description, or a handler's control that moved, is a build error.
static_assert(CheckWindowDescription(Describe()) == nullptr, "the main window's description");
static_assert(PositionsInOrder(), "each control's number holds its position");
static_assert(At(MainControl::FileDialog).kind == ControlKind::CommonDlg);
static_assert(At(MainControl::OrderNumberBox).kind == ControlKind::EditBox &&
              !At(MainControl::OrderNumberBox).edit.multiLine);
static_assert(At(MainControl::EchoBox).kind == ControlKind::EditBox &&
              At(MainControl::EchoBox).edit.multiLine);
static_assert(At(MainControl::IconBox).kind == ControlKind::PicBox);

}  // namespace

const WindowDescription MainWindow = Describe();

const char* NameOf(MainControl control) {
    return At(control).name;
}
