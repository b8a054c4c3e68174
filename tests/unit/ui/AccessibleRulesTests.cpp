// Names and roles for screen readers, from the main window's description and from small
// descriptions that exercise the label rule's edges.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "AccessibleRules.h"
#include "MainWindow.h"

namespace {

int32_t IndexOf(const WindowDescription& w, const std::string& name) {
    for (int32_t i = 0; i < w.controlCount; ++i)
        if (name == w.controls[i].name) return i;
    return -1;
}

// Only the fields that decide; the names in code page 936 written out.
TEST(AccessibleName, MainWindowFieldsAreNamedByTheirLabelsWithoutTheColon) {
    const struct {
        const char* control;
        const char* want;
    } cases[] = {
        // clang-format off
        {"\xB1\xE0\xBC\xAD\xBF\xF2" "1", "APP \xC3\xFB\xB3\xC6"},              // 编辑框1: APP 名称
        {"\xB1\xE0\xBC\xAD\xBF\xF2" "2", "APP \xB0\xFC\xC3\xFB"},              // 编辑框2: APP 包名
        {"\xB1\xE0\xBC\xAD\xBF\xF2" "3", "\xCD\xF8\xD5\xBE\xC1\xB4\xBD\xD3"},  // 编辑框3: 网站链接
        {"\xB1\xE0\xBC\xAD\xBF\xF2" "4", "\xC3\xE8\xCA\xF6\xB1\xEA\xCC\xE2"},  // 编辑框4: 描述标题
        {"\xB1\xE0\xBC\xAD\xBF\xF2" "5", "\xC3\xE8\xCA\xF6\xC4\xDA\xC8\xDD"},  // 编辑框5 (104 high): 描述内容
        {"\xB1\xE0\xBC\xAD\xBF\xF2" "6", "\xBB\xD8\xCF\xD4"},                  // 编辑框6, no label: 回显
        {"\xB1\xE0\xBC\xAD\xBF\xF2" "7", "\xB6\xA9\xB5\xA5\xB1\xE0\xBA\xC5"},  // 编辑框7, in a group: 订单编号
        {"\xB1\xE0\xBC\xAD\xBF\xF2" "8", "\xCF\xC2\xD4\xD8\xB5\xD8\xD6\xB7"},  // 编辑框8: 下载地址
        {"\xCD\xBC\xC6\xAC\xBF\xF2" "1", "APP \xCD\xBC\xB1\xEA"},              // 图片框1: APP 图标
        {"\xB1\xEA\xC7\xA9" "1", "APP \xC3\xFB\xB3\xC6\xA3\xBA"},              // 标签1 keeps its colon
        {"\xB0\xB4\xC5\xA5" "3", "\xBF\xAA\xCA\xBC\xB4\xF2\xB0\xFC"},          // 按钮3: 开始打包
        {"\xCD\xA8\xD3\xC3\xB6\xD4\xBB\xB0\xBF\xF2" "1", ""},                  // 通用对话框1
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.control);
        const int32_t i = IndexOf(MainWindowLayout, c.control);
        ASSERT_GE(i, 0);
        EXPECT_EQ(AccessibleName(MainWindowLayout, i), c.want);
    }
}

TEST(AccessibleName, LabelRuleEdges) {
    const ControlKind E = ControlKind::EditBox, L = ControlKind::Label, G = ControlKind::GroupBox;
    const auto controls = NumberRows(
        0x06000001,
        {
            ControlRow(E, "field").At(100, 10).Size(50, 20),
            ControlRow(L, "far").At(0, 12).Size(40, 20).Text("far:"),  // overlaps, 2 from the top
            ControlRow(L, "near").At(40, 10).Size(60, 20).Text("near \xA3\xBA"),  // same top: wins
            ControlRow(L, "right").At(160, 10).Size(40, 20).Text("right"),  // right of the field
            ControlRow(L, "below").At(0, 30).Size(40, 20).Text("below"),  // touches the bottom only
            ControlRow(G, "group").At(0, 100).Size(200, 100).Text("title"),
            ControlRow(E, "inside").In("group").At(10, 10).Size(50, 20),  // no label in its group
            ControlRow(E, "alone").At(300, 300).Size(50, 20),             // no label, no group
            // A caption whose last bytes read A3 BA only across a character boundary: B0 A3 is
            // one character, then a lone BA. Nothing is cut.
            ControlRow(L, "odd").At(0, 400).Size(40, 20).Text("\xB0\xA3\xBA"),
            ControlRow(E, "oddfield").At(50, 400).Size(50, 20),
        });
    WindowDescription w;
    w.number = 0x02000001;
    w.controls = controls.data();
    w.controlCount = 10;
    const struct {
        int32_t index;
        const char* want;
    } cases[] = {{0, "near"}, {6, "title"}, {7, ""}, {9, "\xB0\xA3\xBA"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(w.controls[c.index].name);
        EXPECT_EQ(AccessibleName(w, c.index), c.want);
    }
    EXPECT_EQ(NamingLabel(w, 6), -1);
}

}  // namespace
