// What the driver knows of the program under test: its window class and caption, and its
// main window's controls, read from the program's own description (app/MainWindow.h). A
// control's window ID is ControlWindowId of its row; the dialog component (row 1) has no window.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "MainWindow.h"

namespace driver {

inline constexpr const wchar_t* kMainClass = L"OrvessaWindow";
inline constexpr const wchar_t* kMainCaption = L"Orvessa";
inline constexpr const wchar_t* kMessageCaption = L"\x4FE1\x606F\xFF1A" /* 信息： */;
// An order number's digits, and 开始打包's message and echo line around it.
inline constexpr size_t kOrderDigits = 13;
inline constexpr const wchar_t* kPackagingPrefix =
    L"\x5DF2\x63D0\x4EA4\x5230\x670D\x52A1\x5668\x8FDB\x884C\x6253\x5305,"
    L"\x8BA2\x5355\x7F16\x53F7:" /* 已提交到服务器进行打包,订单编号: */;
inline constexpr const wchar_t* kPackagingSuffix =
    L",\x5DF2\x81EA\x52A8\x590D\x5236,\x8BF7\x524D\x5F80\x67E5\x8BE2\x83B7"
    L"\x53D6\x4E0B\x8F7D\x5730\x5740\xFF01" /* ,已自动复制,请前往查询获取下载地址！ */;

int NoSuchControl(); // not constexpr: a name missing from the description does not build

// The window ID of the control of that name (code page 936).
constexpr int IdOf(const char* name) {
    for (size_t i = 0; i < kMainControls.size(); ++i) {
        if (SameName(kMainControls[i].name, name)) return ControlWindowId(static_cast<int32_t>(i));
    }
    return NoSuchControl();
}

// clang-format off
enum ControlId : int {
    kEdit1 = IdOf(MAIN_EDIT "1"), kEdit2 = IdOf(MAIN_EDIT "2"), kEdit3 = IdOf(MAIN_EDIT "3"),
    kEdit4 = IdOf(MAIN_EDIT "4"), kEdit5 = IdOf(MAIN_EDIT "5"), kEdit6 = IdOf(MAIN_EDIT "6"),
    kEdit7 = IdOf(MAIN_EDIT "7"), kEdit8 = IdOf(MAIN_EDIT "8"),
    kLabel1 = IdOf(MAIN_LABEL "1"), kLabel2 = IdOf(MAIN_LABEL "2"), kLabel3 = IdOf(MAIN_LABEL "3"),
    kLabel4 = IdOf(MAIN_LABEL "4"), kLabel5 = IdOf(MAIN_LABEL "5"), kLabel6 = IdOf(MAIN_LABEL "6"),
    kLabel7 = IdOf(MAIN_LABEL "7"), kLabel8 = IdOf(MAIN_LABEL "8"),
    kButton1 = IdOf(MAIN_BUTTON "1"), kButton2 = IdOf(MAIN_BUTTON "2"), kButton3 = IdOf(MAIN_BUTTON "3"),
    kButton4 = IdOf(MAIN_BUTTON "4"),
    kGroup1 = IdOf(MAIN_GROUP "1"), kGroup2 = IdOf(MAIN_GROUP "2"),
    kPicture1 = IdOf(MAIN_PICTURE "1"),
};
// clang-format on

// The description's row of a control window ID; nullptr for an ID no row has.
const ControlDescription* RowOf(int id);
// A description text (code page 936) as the program shows it.
std::wstring WideOf(const char* text);
// The control's name in the window description, with its ID, for failure messages.
std::wstring ControlName(int id);

// The order Tab walks, from the control that has the focus at start: the window layer's rule
// applied to the description.
struct TabOrder {
    std::vector<int> ids;
    int operator[](int at) const { return ids[static_cast<size_t>(at)]; }
    auto begin() const { return ids.begin(); }
    auto end() const { return ids.end(); }
};
extern const TabOrder kTabCycle;
extern const int kTabStops;

} // namespace driver
