// The placement and focus rules, and the main window's description checked against them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "Handlers.h"
#include "MainWindow.h"
#include "WindowRules.h"

// The handlers bound in the description; the rules never call them.
void OnStartPackagingClick() {}
void OnQueryClick() {}
void OnSelectImageClick() {}
void OnClearImageClick() {}
void OnImageFileDropped() {}

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

std::vector<int32_t> MainWindowTabList() {
    std::vector<TabCandidate> eligible;
    for (int32_t i = 0; i < MainWindow.controlCount; ++i) {
        const ControlDescription& c = MainWindow.controls[i];
        if (c.visible && c.enabled && c.tabStop && CanTakeFocus(c.kind))
            eligible.push_back({i, c.tabOrder});
    }
    return BuildTabList(eligible);
}

std::string NameAt(int32_t index) {
    return MainWindow.controls[index].name;
}

// Control names in code page 936.
const std::string kEdit = "\xB1\xE0\xBC\xAD\xBF\xF2";  // 编辑框
const std::string kButton = "\xB0\xB4\xC5\xA5";        // 按钮

TEST(TabOrder, MainWindowCyclesThroughTwelveStopsBothWays) {
    const std::vector<std::string> want = {kEdit + "1", kEdit + "2",   kEdit + "3",   kEdit + "4",
                                           kEdit + "5", kButton + "1", kButton + "2", kButton + "3",
                                           kEdit + "6", kEdit + "7",   kButton + "4", kEdit + "8"};
    const std::vector<int32_t> list = MainWindowTabList();
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
    EXPECT_EQ(CheckWindowDescription(MainWindow), nullptr);
    EXPECT_EQ(MainWindow.controlCount, 24);

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
