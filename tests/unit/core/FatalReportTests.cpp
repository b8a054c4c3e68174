// The report text byte for byte, and the numbered messages.
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Fatal.h"
#include "FatalHook.h"

namespace {

// CP936 pieces of the expected texts.
const std::string kHeadline = "\xD4\xCB\xD0\xD0\xCA\xB1\xB3\xF6\xB4\xED!\r\n";  // "运行时出错!\r\n"
const std::string kCode = "\r\n\xB4\xED\xCE\xF3\xB4\xFA\xC2\xEB\xA3\xBA";  // "\r\n错误代码："
const std::string kMessage = "\r\n\xB4\xED\xCE\xF3\xD0\xC5\xCF\xA2\xA3\xBA";  // "\r\n错误信息："
// "调用DLL命令后发现堆栈错误"
// clang-format off
const std::string kStackError =
    "\xB5\xF7\xD3\xC3" "DLL\xC3\xFC\xC1\xEE\xBA\xF3\xB7\xA2\xCF\xD6\xB6\xD1\xD5\xBB\xB4\xED\xCE\xF3";
// clang-format on
// "未找到所指定的窗口"
const std::string kNoWindow =
    "\xCE\xB4\xD5\xD2\xB5\xBD\xCB\xF9\xD6\xB8\xB6\xA8\xB5\xC4\xB4\xB0\xBF\xDA";
const std::string kNoElement = kNoWindow + "\xD7\xE9\xBC\xFE";  // + "组件"

constexpr int32_t kMainWindow = 0x52010001;
constexpr int32_t kControl = 0x06000003;

// A window table of one window with one control; records what it was asked.
class FakeLookup : public ErrorLocationLookup {
public:
    bool hasWindow = false;
    bool hasControl = false;
    const char* windowTag = "";
    const char* controlTag = "";
    mutable std::vector<int32_t> asked;

    bool FindWindowTag(int32_t windowNumber, Text* tag) const override {
        asked.push_back(windowNumber);
        if (!hasWindow || windowNumber != kMainWindow) {
            return false;
        }
        *tag = Text(windowTag);
        return true;
    }
    bool FindElementTag(int32_t windowNumber, int32_t elementNumber, Text* tag) const override {
        asked.push_back(elementNumber);
        if (windowNumber != kMainWindow) {
            return false;
        }
        if (elementNumber == 0) {
            *tag = Text(windowTag);
            return true;
        }
        if (hasControl && elementNumber == kControl) {
            *tag = Text(controlTag);
            return true;
        }
        return false;
    }
};

std::string Build(const char* message, int32_t code, ErrorLocation where,
                  const FakeLookup& lookup) {
    char text[1024];
    EXPECT_TRUE(BuildFatalReportText(text, sizeof text, message, code, where, lookup));
    return text;
}

TEST(FatalReportText, CodeAndMessageLines) {
    const FakeLookup lookup;
    // "分配 1024 字节内存失败!"
    const std::string allocation = AllocationFailureMessage("1024");
    struct Row {
        const char* name;
        const char* message;
        int32_t code;
        ErrorLocation where;
        std::string expected;
    };
    const Row rows[] = {
        {"stack error of the order number",
         kStackError.c_str(),
         6,
         {67188654, 0},
         kHeadline + kCode + "6\r\n" + kMessage + kStackError + "\r\n" + "\r\n67188654, 0\r\n"},
        {"allocation failure, no code",
         allocation.c_str(),
         0,
         {0, 0},
         kHeadline + kMessage + allocation + "\r\n" + "\r\n0, 0\r\n"},
        {"no message, no code", "", 0, {0, 0}, kHeadline + "\r\n0, 0\r\n"},
        {"null message", nullptr, 0, {0, 0}, kHeadline + "\r\n0, 0\r\n"},
        {"negative numbers printed signed",
         "",
         -7,
         {-1, -2},
         kHeadline + kCode + "-7\r\n" + "\r\n-1, -2\r\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Build(row.message, row.code, row.where, lookup), row.expected);
    }
    EXPECT_TRUE(lookup.asked.empty()) << "no location named a window";
}

TEST(FatalReportText, WindowAndControlLines) {
    struct Row {
        const char* name;
        bool hasWindow;
        bool hasControl;
        const char* windowTag;
        const char* controlTag;
        ErrorLocation where;
        std::string lines;  // what follows "\r\n<first>, <second>"
    };
    const Row rows[] = {
        {"window not loaded", false, false, "", "", {kMainWindow, kControl}, "\r\n" + kNoWindow},
        {"window itself, empty tags", true, false, "", "", {kMainWindow, 0}, "\r\n\"\"\r\n\"\""},
        {"control found",
         true,
         true,
         "main",
         "ok",
         {kMainWindow, kControl},
         "\r\n\"main\"\r\n\"ok\""},
        {"control not found",
         true,
         false,
         "main",
         "",
         {kMainWindow, kControl},
         "\r\n\"main\"\r\n" + kNoElement},
        {"other bits above the kind", true, false, "", "", {0x72000000, 0}, "\r\n" + kNoWindow},
        {"kind other than 2 is only printed", true, true, "main", "", {0x01000001, kControl}, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FakeLookup lookup;
        lookup.hasWindow = row.hasWindow;
        lookup.hasControl = row.hasControl;
        lookup.windowTag = row.windowTag;
        lookup.controlTag = row.controlTag;
        const std::string expected = kHeadline + "\r\n" + std::to_string(row.where.first) + ", " +
                                     std::to_string(row.where.second) + row.lines + "\r\n";
        EXPECT_EQ(Build("", 0, row.where, lookup), expected);
    }
}

TEST(RuntimeErrors, ElevenDistinctMessagesAndNothingElse) {
    EXPECT_EQ(RuntimeErrorMessage(6), kStackError);
    std::set<std::string> seen;
    for (int32_t code = 1; code <= 11; ++code) {
        SCOPED_TRACE(code);
        const std::string message = RuntimeErrorMessage(code);
        EXPECT_FALSE(message.empty());
        EXPECT_TRUE(seen.insert(message).second) << "duplicate message";
    }
    for (const int32_t code : {0, -1, 12, INT32_MIN}) {
        SCOPED_TRACE(code);
        EXPECT_STREQ(RuntimeErrorMessage(code), "");
    }
}

TEST(RuntimeErrors, ReportCarriesTableMessageCodeAndLocation) {
    const FatalReportRaised report = CatchFatalReport([] {
        ReportRuntimeError(kRuntimeErrorDllStack, {67188654, 0});
    });
    EXPECT_EQ(report.message, kStackError);
    EXPECT_EQ(report.code, 6);
    EXPECT_EQ(report.where.first, 67188654);
    EXPECT_EQ(report.where.second, 0);

    const FatalReportRaised unknown = CatchFatalReport([] { ReportRuntimeError(99, {}); });
    EXPECT_EQ(unknown.message, "");
    EXPECT_EQ(unknown.code, 99);
}

}  // namespace
