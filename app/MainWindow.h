// The main window's description: caption, size, and the 24 controls in their stacking order
// (first entry topmost among siblings). The tab order and first focus follow from this order.
// The one table of the window: the program builds it, and its tests read their controls'
// names, places, texts and accessible names from it.
#pragma once

#include "WindowDescription.h"

// Control names (code page 936): a kind's word and a number.
#define MAIN_EDIT "\xB1\xE0\xBC\xAD\xBF\xF2"                    // 编辑框
#define MAIN_LABEL "\xB1\xEA\xC7\xA9"                           // 标签
#define MAIN_BUTTON "\xB0\xB4\xC5\xA5"                          // 按钮
#define MAIN_GROUP "\xB7\xD6\xD7\xE9\xBF\xF2"                   // 分组框
#define MAIN_PICTURE "\xCD\xBC\xC6\xAC\xBF\xF2"                 // 图片框
#define MAIN_DIALOG "\xCD\xA8\xD3\xC3\xB6\xD4\xBB\xB0\xBF\xF2"  // 通用对话框

// The application routines the description binds; the program supplies them (MainWindow.cpp),
// a reader of the layout alone leaves them empty.
struct MainHandlers {
    ClickHandler startPackaging = nullptr;
    ClickHandler query = nullptr;
    ClickHandler selectImage = nullptr;
    ClickHandler clearImage = nullptr;
    ClickHandler imageFileDropped = nullptr;
};

namespace main_window {

constexpr ControlRow Edit(const char* name) {
    return ControlRow(ControlKind::EditBox, name).TabStop().Colors(kBlack, kWhite);
}
constexpr ControlRow Label(const char* name, const char* caption) {
    return ControlRow(ControlKind::Label, name).Size(56, 24).Text(caption);
}
constexpr ControlRow Button(const char* name, const char* caption, ClickHandler onClick) {
    return ControlRow(ControlKind::Button, name).TabStop().Text(caption).OnClick(onClick);
}
constexpr ControlRow Group(const char* name, const char* title) {
    return ControlRow(ControlKind::GroupBox, name).Text(title);
}

#define GROUP_QUERY MAIN_GROUP "2"
#define GROUP_ECHO MAIN_GROUP "1"

// clang-format off
constexpr auto Controls(const MainHandlers& on) {
    return NumberRows(0x06010001, {
        ControlRow(ControlKind::CommonDlg, MAIN_DIALOG "1").Size(26, 26).Hidden(),
        Edit(MAIN_EDIT "8").In(GROUP_QUERY).At(72, 98).Size(168, 20),
        Label(MAIN_LABEL "8", "\xCF\xC2\xD4\xD8\xB5\xD8\xD6\xB7\xA3\xBA")  // 下载地址：
            .In(GROUP_QUERY).At(16, 96),
        Button(MAIN_BUTTON "4", "\xB2\xE9\xD1\xAF", on.query)  // 查询
            .In(GROUP_QUERY).At(16, 56).Size(224, 24),
        Edit(MAIN_EDIT "7").In(GROUP_QUERY).At(72, 26).Size(168, 20),
        Label(MAIN_LABEL "7", "\xB6\xA9\xB5\xA5\xB1\xE0\xBA\xC5\xA3\xBA")  // 订单编号：
            .In(GROUP_QUERY).At(16, 24),
        Group(GROUP_QUERY, "\xB2\xE9\xD1\xAF\xB6\xA9\xB5\xA5\xD7\xB4\xCC\xAC")  // 查询订单状态
            .At(312, 8).Size(248, 136),
        Edit(MAIN_EDIT "6").In(GROUP_ECHO).At(8, 16).Size(232, 248).MultiLine().ScrollBar(),
        Group(GROUP_ECHO, "\xBB\xD8\xCF\xD4").At(312, 144).Size(248, 272),  // 回显
        Button(MAIN_BUTTON "3", "\xBF\xAA\xCA\xBC\xB4\xF2\xB0\xFC", on.startPackaging)  // 开始打包
            .At(16, 384).Size(288, 32),
        Button(MAIN_BUTTON "2", "\xC7\xE5\xBF\xD5\xCD\xBC\xC6\xAC", on.clearImage)  // 清空图片
            .At(208, 328).Size(80, 24),
        Button(MAIN_BUTTON "1", "\xD1\xA1\xD4\xF1\xCD\xBC\xC6\xAC", on.selectImage)  // 选择图片
            .At(208, 264).Size(80, 24),
        ControlRow(ControlKind::PicBox, MAIN_PICTURE "1").At(72, 260).Size(100, 100).Stretched(),
        Label(MAIN_LABEL "6", "APP \xCD\xBC\xB1\xEA\xA3\xBA").At(16, 256),  // APP 图标：
        Edit(MAIN_EDIT "5").At(72, 144).Size(224, 104).MultiLine(),
        Label(MAIN_LABEL "5", "\xC3\xE8\xCA\xF6\xC4\xDA\xC8\xDD\xA3\xBA").At(16, 144),  // 描述内容：
        Edit(MAIN_EDIT "4").At(72, 114).Size(224, 20),
        Label(MAIN_LABEL "4", "\xC3\xE8\xCA\xF6\xB1\xEA\xCC\xE2\xA3\xBA").At(16, 112),  // 描述标题：
        Edit(MAIN_EDIT "3").At(72, 82).Size(224, 20).Text("http://www.qq.com"),
        Label(MAIN_LABEL "3", "\xCD\xF8\xD5\xBE\xC1\xB4\xBD\xD3\xA3\xBA").At(16, 80),  // 网站链接：
        Edit(MAIN_EDIT "2").At(72, 50).Size(224, 20).Text("com.ios.app"),
        Label(MAIN_LABEL "2", "APP \xB0\xFC\xC3\xFB\xA3\xBA").At(16, 48),  // APP 包名：
        Edit(MAIN_EDIT "1").At(72, 18).Size(224, 20),
        Label(MAIN_LABEL "1", "APP \xC3\xFB\xB3\xC6\xA3\xBA").At(16, 16),  // APP 名称：
    });
}
// clang-format on

#undef GROUP_QUERY
#undef GROUP_ECHO

template <size_t N>
constexpr WindowDescription Describe(const std::array<ControlDescription, N>& controls,
                                     const MainHandlers& on) {
    WindowDescription w;
    w.number = 0x52010001;
    w.caption = "Orvessa";
    w.width = 576;
    w.height = 453;
    w.escClosesWindow = true;
    w.enterMovesFocus = false;
    w.f1OpensHelp = false;
    w.controls = controls.data();
    w.controlCount = static_cast<int32_t>(N);
    w.dropFileDialog = controls[0].name;
    w.onFileDrop = on.imageFileDropped;
    return w;
}

}  // namespace main_window

// The window's controls, and the window, without the handlers. Not inline: GCC does not take an
// inline variable's address as non-null in a constant expression, and the checks below need it.
constexpr auto kMainControls = main_window::Controls({});
constexpr WindowDescription MainWindowLayout = main_window::Describe(kMainControls, {});

// The program's window, handlers bound (MainWindow.cpp).
extern const WindowDescription MainWindow;

// The controls the handlers touch, by their 1-based position in the description. A misspelt
// one does not build, and checks beside the description make sure each position holds a
// control of the kind the handlers expect.
enum class MainControl : int32_t {
    FileDialog = 1,      // 通用对话框1
    OrderNumberBox = 5,  // 编辑框7
    EchoBox = 8,         // 编辑框6
    IconBox = 13,        // 图片框1
};

constexpr const ControlDescription& RowOf(MainControl control) {
    return kMainControls[static_cast<size_t>(control) - 1];
}

// Its name (code page 936): the services find controls by name, and their fatal reports name
// the control looked for.
constexpr const char* NameOf(MainControl control) {
    return RowOf(control).name;
}

// A mistake in the description, or a handler's control that moved, is a build error.
static_assert(CheckWindowDescription(MainWindowLayout) == nullptr, "the main window's description");
static_assert(RowOf(MainControl::FileDialog).kind == ControlKind::CommonDlg);
static_assert(RowOf(MainControl::OrderNumberBox).kind == ControlKind::EditBox &&
              !RowOf(MainControl::OrderNumberBox).edit.multiLine);
static_assert(RowOf(MainControl::EchoBox).kind == ControlKind::EditBox &&
              RowOf(MainControl::EchoBox).edit.multiLine);
static_assert(RowOf(MainControl::IconBox).kind == ControlKind::PicBox);
