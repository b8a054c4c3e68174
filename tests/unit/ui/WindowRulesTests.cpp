// The placement and focus rules, and the main window's description checked against them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>

#include "MainWindow.h"
#include "WindowRules.h"

namespace {

TEST(Centring, TruncatesTowardZeroOnEitherSide) {
    struct Row {
        int32_t screen, size, want;
        const char* why;
    };
    const Row rows[] = {
        {1024, 576, 224, "the usual desktop, left edge"},
        {768, 453, 157, "the usual desktop, top edge: 315/2 truncates"},
        {501, 576, -37, "narrower screen: -75/2 truncates toward zero, not down to -38"},
        {576, 576, 0, "exact fit"},
        {0, 453, -226, "no screen at all"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        EXPECT_EQ(CenteredOrigin(r.screen, r.size), r.want);
    }
}

TEST(DisplayScale, RoundsLikeMulDivAndKeepsNeighboursTouching) {
    struct Row {
        int32_t value, dpi, want;
    };
    const Row rows[] = {
        {576, 96, 576},  {453, 144, 680},
        {453, 120, 566}, {1, 144, 2},
        {3, 120, 4},     {-1, 144, -2},
        {-3, 120, -4},   {0, 192, 0},
        {453, 192, 906}, {0x7FFFFFFF / 2, 192, 0x7FFFFFFE},
    };
    for (const Row& r : rows)
        EXPECT_EQ(ScaleToDpi(r.value, r.dpi), r.want) << r.value << " at " << r.dpi;

    // 标签1 (16, 16, 56 x 24) sits right against 编辑框1 (72, 18): scaled by edges they still meet.
    for (const int32_t dpi : {96, 120, 144, 168, 192}) {
        const ScaledRect label = ScaleRectToDpi(16, 16, 56, 24, dpi);
        const ScaledRect edit = ScaleRectToDpi(72, 18, 224, 20, dpi);
        EXPECT_EQ(label.left + label.width, edit.left) << dpi;
    }
}

TEST(DisplayScale, LargeWindowKeepsItsTopLeftOnTheWorkArea) {
    struct Row {
        int32_t origin, size, start, end, want;
        const char* why;
    };
    const Row rows[] = {
        {224, 576, 0, 1024, 224, "fits: unchanged"},
        {-64, 1152, 0, 1024, 0, "wider than the screen: left edge on it"},
        {-69, 906, 0, 728, 0, "taller than the work area: title bar on it"},
        {700, 400, 0, 1024, 624, "fits but hangs over the right: moved in"},
        {1900, 400, 1920, 3840, 1920, "second monitor: its own work area"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        EXPECT_EQ(KeptOnWorkArea(r.origin, r.size, r.start, r.end), r.want);
    }
}

// The main window's controls reach 560 x 416 of its client area at 96 DPI; its outer size is
// 576 x 453.
TEST(DisplayScale, OuterSizeGrowsOnlyWhereTheFrameLeavesTooLittle) {
    const struct {
        const char* why;
        int32_t dpi;
        FrameMetrics frame;
        int32_t editMinimum;
        int32_t width, height;
    } rows[] = {
        {"a thin frame: the written size", 96, {6, 29}, 20, 576, 453},
        {"a thick caption: grown to reach the bottom controls", 96, {16, 39}, 20, 576, 455},
        {"150%: the written size scaled", 144, {6, 29}, 30, 864, 680},
        {"150% with a thick caption", 144, {24, 57}, 30, 864, 681},
        {"a tall font: the lowest single-line edit box (top 114) decides, not the multi-line one "
         "below it nor those in a group",
         96,
         {6, 29},
         400,
         576,
         543},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        const OuterSize size = OuterSizeAt(MainWindowLayout, r.dpi, r.frame, r.editMinimum);
        EXPECT_EQ(size.width, r.width);
        EXPECT_EQ(size.height, r.height);
    }
}

std::string NameAt(int32_t index) {
    return MainWindowLayout.controls[index].name;
}

// Control names in code page 936, written here apart from the description they check.
const std::string kEdit = "\xB1\xE0\xBC\xAD\xBF\xF2";   // 编辑框
const std::string kButton = "\xB0\xB4\xC5\xA5";         // 按钮
const std::string kLabel = "\xB1\xEA\xC7\xA9";          // 标签
const std::string kGroup = "\xB7\xD6\xD7\xE9\xBF\xF2";  // 分组框

// The written layout, row for row: the one check of the description's table itself. The
// other tests, here and in the GUI driver, take their controls from the table.
TEST(Description, MainWindowControlsAreTheWrittenLayout) {
    using K = ControlKind;
    const K E = K::EditBox, L = K::Label, B = K::Button, G = K::GroupBox, P = K::PicBox;
    const std::string g2 = kGroup + "2", g1 = kGroup + "1", W;  // W: the window
    const struct {
        std::string name;
        ControlKind kind;
        std::string parent;
        int32_t left, top, width, height;
        const char* text;  // nullptr: a web address
        int tabStop;       // 1: a tab stop
    } rows[] = {
        // clang-format off
        {"\xCD\xA8\xD3\xC3\xB6\xD4\xBB\xB0\xBF\xF2" "1", K::CommonDlg, W, 0, 0, 26, 26, "", 0},
        {kEdit + "8", E, g2, 72, 98, 168, 20, "", 1},
        {kLabel + "8", L, g2, 16, 96, 56, 24, "\xCF\xC2\xD4\xD8\xB5\xD8\xD6\xB7\xA3\xBA", 0},
        {kButton + "4", B, g2, 16, 56, 224, 24, "\xB2\xE9\xD1\xAF", 1},  // 查询
        {kEdit + "7", E, g2, 72, 26, 168, 20, "", 1},
        {kLabel + "7", L, g2, 16, 24, 56, 24, "\xB6\xA9\xB5\xA5\xB1\xE0\xBA\xC5\xA3\xBA", 0},
        {g2, G, W, 312, 8, 248, 136, "\xB2\xE9\xD1\xAF\xB6\xA9\xB5\xA5\xD7\xB4\xCC\xAC", 0},
        {kEdit + "6", E, g1, 8, 16, 232, 248, "", 1},
        {g1, G, W, 312, 144, 248, 272, "\xBB\xD8\xCF\xD4", 0},  // 回显
        {kButton + "3", B, W, 16, 384, 288, 32, "\xBF\xAA\xCA\xBC\xB4\xF2\xB0\xFC", 1},  // 开始打包
        {kButton + "2", B, W, 208, 328, 80, 24, "\xC7\xE5\xBF\xD5\xCD\xBC\xC6\xAC", 1},  // 清空图片
        {kButton + "1", B, W, 208, 264, 80, 24, "\xD1\xA1\xD4\xF1\xCD\xBC\xC6\xAC", 1},  // 选择图片
        {"\xCD\xBC\xC6\xAC\xBF\xF2" "1", P, W, 72, 260, 100, 100, "", 0},  // 图片框1
        {kLabel + "6", L, W, 16, 256, 56, 24, "APP \xCD\xBC\xB1\xEA\xA3\xBA", 0},  // APP 图标：
        {kEdit + "5", E, W, 72, 144, 224, 104, "", 1},
        {kLabel + "5", L, W, 16, 144, 56, 24, "\xC3\xE8\xCA\xF6\xC4\xDA\xC8\xDD\xA3\xBA", 0},
        {kEdit + "4", E, W, 72, 114, 224, 20, "", 1},
        {kLabel + "4", L, W, 16, 112, 56, 24, "\xC3\xE8\xCA\xF6\xB1\xEA\xCC\xE2\xA3\xBA", 0},
        {kEdit + "3", E, W, 72, 82, 224, 20, nullptr, 1},
        {kLabel + "3", L, W, 16, 80, 56, 24, "\xCD\xF8\xD5\xBE\xC1\xB4\xBD\xD3\xA3\xBA", 0},
        {kEdit + "2", E, W, 72, 50, 224, 20, "com.ios.app", 1},
        {kLabel + "2", L, W, 16, 48, 56, 24, "APP \xB0\xFC\xC3\xFB\xA3\xBA", 0},  // APP 包名：
        {kEdit + "1", E, W, 72, 18, 224, 20, "", 1},
        {kLabel + "1", L, W, 16, 16, 56, 24, "APP \xC3\xFB\xB3\xC6\xA3\xBA", 0},  // APP 名称：
        // clang-format on
    };
    ASSERT_EQ(MainWindowLayout.controlCount, 24);
    for (int32_t i = 0; i < 24; ++i) {
        const auto& want = rows[i];
        const ControlDescription& c = MainWindowLayout.controls[i];
        SCOPED_TRACE(want.name);
        EXPECT_EQ(c.name, want.name);
        EXPECT_EQ(c.kind, want.kind);
        EXPECT_EQ(c.parent ? c.parent : "", want.parent);
        EXPECT_EQ(std::make_tuple(c.left, c.top, c.width, c.height),
                  std::make_tuple(want.left, want.top, want.width, want.height));
        const std::string text = c.text;
        EXPECT_EQ(want.text ? text : text.substr(0, 7), want.text ? want.text : "http://");
        EXPECT_EQ(c.tabStop, want.tabStop == 1);
        EXPECT_EQ(c.tabOrder, 0);
        // 编辑框5 and 编辑框6 alone take several lines, 编辑框6 with a scroll bar. (Colours,
        // styles and the picture's stretching are seen on the screen by the GUI tests.)
        EXPECT_EQ(c.edit.multiLine, want.name == kEdit + "5" || want.name == kEdit + "6");
        EXPECT_EQ(c.edit.verticalScrollBar, want.name == kEdit + "6");
    }
}

TEST(TabOrder, MainWindowCyclesThroughTwelveStopsBothWays) {
    const std::vector<std::string> want = {kEdit + "1", kEdit + "2",   kEdit + "3",   kEdit + "4",
                                           kEdit + "5", kButton + "1", kButton + "2", kButton + "3",
                                           kEdit + "6", kEdit + "7",   kButton + "4", kEdit + "8"};
    const std::vector<int32_t> list = DescribedTabList(MainWindowLayout);
    ASSERT_EQ(list.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) EXPECT_EQ(NameAt(list[i]), want[i]) << "stop " << i;

    int32_t at = list.front();
    for (size_t step = 1; step <= want.size(); ++step) {
        at = NextInTabList(list, at, true);
        EXPECT_EQ(NameAt(at), want[step % want.size()]) << "forward step " << step;
    }
    for (size_t step = 1; step <= want.size(); ++step) {
        at = NextInTabList(list, at, false);
        EXPECT_EQ(NameAt(at), want[(want.size() - step) % want.size()]) << "backward step " << step;
    }
}

TEST(TabOrder, LowerNumbersFirstAndEqualNumbersInReverseDescriptionOrder) {
    const std::vector<int32_t> list = BuildTabList({{0, 5}, {1, 0}, {2, 5}, {3, 0}, {4, -1}});
    EXPECT_EQ(list, (std::vector<int32_t>{4, 3, 1, 2, 0}));
}

TEST(TabOrder, FocusOutsideTheListMovesByDescriptionPosition) {
    // Description order read backwards, as with all tab numbers equal: entries 9, 6, 3.
    const std::vector<int32_t> list = {9, 6, 3};
    struct Row {
        int32_t focused;
        bool forward;
        int32_t want;
        const char* why;
    };
    const Row rows[] = {
        {7, true, 6, "first position not after entry 7 is entry 6"},
        {7, false, 9, "backward goes to the one before that position"},
        {10, true, 9, "after every listed entry: the first position qualifies"},
        {10, false, 3, "backward from the first position wraps to the last"},
        {2, true, 9, "before every listed entry: no position qualifies, forward to the first"},
        {2, false, 3, "and backward to the last"},
        {-1, true, 9, "no focused control at all"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        EXPECT_EQ(NextInTabList(list, r.focused, r.forward), r.want);
    }
    EXPECT_EQ(NextInTabList({}, 3, true), -1) << "an empty list moves nothing";
}

TEST(Description, MainWindowIsWellFormedAndBadTablesAreRefused) {
    EXPECT_EQ(CheckWindowDescription(MainWindowLayout), nullptr);

    ControlDescription controls[2];
    controls[0].number = 0x06000001;
    controls[0].name = "a";
    controls[1].number = 0x06000002;
    controls[1].name = "b";
    WindowDescription w;
    w.number = 0x52000001;
    w.controls = controls;
    w.controlCount = 2;
    EXPECT_EQ(CheckWindowDescription(w), nullptr);

    controls[1].name = "a";
    EXPECT_STREQ(CheckWindowDescription(w), "duplicate control name");
    controls[1].name = "b";
    controls[1].parent = "a";
    EXPECT_STREQ(CheckWindowDescription(w), "parent kind") << "a label cannot hold controls";
    controls[0].kind = ControlKind::GroupBox;
    EXPECT_EQ(CheckWindowDescription(w), nullptr);
    controls[1].parent = "missing";
    EXPECT_STREQ(CheckWindowDescription(w), "unknown parent");
    controls[1].parent = nullptr;
    controls[1].number = 0x02000002;
    EXPECT_STREQ(CheckWindowDescription(w), "control number");
    controls[1].number = 0x06000002;
    w.dropFileDialog = "b";
    EXPECT_STREQ(CheckWindowDescription(w), "drop dialog") << "drops go to a file dialog only";
    controls[1].kind = ControlKind::CommonDlg;
    EXPECT_EQ(CheckWindowDescription(w), nullptr);
    controls[1].name = nullptr;
    EXPECT_STREQ(CheckWindowDescription(w), "control name") << "a missing name, after the first";
}

// The handlers' controls by name: the two single-line boxes of the query group differ only in
// their names, so the kind checks beside the description cannot tell them apart.
TEST(Description, HandlerControlsByName) {
    const struct {
        MainControl control;
        const char* name;
    } rows[] = {
        // clang-format off
        {MainControl::FileDialog, "\xCD\xA8\xD3\xC3\xB6\xD4\xBB\xB0\xBF\xF2" "1"},  // 通用对话框1
        {MainControl::OrderNumberBox, "\xB1\xE0\xBC\xAD\xBF\xF2" "7"},                  // 编辑框7
        {MainControl::EchoBox, "\xB1\xE0\xBC\xAD\xBF\xF2" "6"},                         // 编辑框6
        {MainControl::IconBox, "\xCD\xBC\xC6\xAC\xBF\xF2" "1"},                         // 图片框1
        // clang-format on
    };
    for (const auto& row : rows) {
        EXPECT_STREQ(NameOf(row.control), row.name);
    }
}

}  // namespace
