// What the driver knows of the program under test: its window class and caption, and the
// control IDs of the main window. A control's ID is 1000 plus its row in the window
// description; the dialog component (row 1) has no window.
#pragma once

#include <windows.h>

#include <string>

namespace driver {

inline constexpr const wchar_t* kMainClass = L"OrvessaWindow";
inline constexpr const wchar_t* kMainCaption = L"Orvessa";
inline constexpr const wchar_t* kMessageCaption = L"\x4FE1\x606F\xFF1A" /* 信息： */;

enum ControlId : int {
    kEdit8 = 1002,
    kLabel8 = 1003,
    kButton4 = 1004,
    kEdit7 = 1005,
    kLabel7 = 1006,
    kGroup2 = 1007,
    kEdit6 = 1008,
    kGroup1 = 1009,
    kButton3 = 1010,
    kButton2 = 1011,
    kButton1 = 1012,
    kPicture1 = 1013,
    kLabel6 = 1014,
    kEdit5 = 1015,
    kLabel5 = 1016,
    kEdit4 = 1017,
    kLabel4 = 1018,
    kEdit3 = 1019,
    kLabel3 = 1020,
    kEdit2 = 1021,
    kLabel2 = 1022,
    kEdit1 = 1023,
    kLabel1 = 1024,
};

// The control's name in the window description, for failure messages.
std::wstring ControlName(int id);

// The order Tab walks, starting from the control that has the focus at start.
inline constexpr int kTabCycle[] = {kEdit1,   kEdit2,   kEdit3, kEdit4, kEdit5,   kButton1,
                                    kButton2, kButton3, kEdit6, kEdit7, kButton4, kEdit8};
inline constexpr int kTabStops = static_cast<int>(sizeof kTabCycle / sizeof kTabCycle[0]);

} // namespace driver
