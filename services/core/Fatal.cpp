// The portable half of the fatal report: the numbered messages and the report's text. Showing
// the text and ending the process is the platform layer's ReportFatalError.
#include <charconv>
#include <cstring>

#include "Fatal.h"

namespace {

// Indexed by code - 1. Only code 6 can arise in this program; the others name faults of data
// and array operations that the service layer keeps numbered for completeness.
constexpr const char* kRuntimeErrorMessages[] = {
    // clang-format off
    "\xCA\xFD\xD7\xE9\xCF\xC2\xB1\xEA\xB3\xAC\xB3\xF6\xB7\xB6\xCE\xA7",  // 1 "数组下标超出范围"
    "\xB3\xFD\xCA\xFD\xCE\xAA\xC1\xE3",                                  // 2 "除数为零"
    "\xCA\xFD\xD7\xE9\xCE\xAC\xCA\xFD\xB2\xBB\xD5\xFD\xC8\xB7",          // 3 "数组维数不正确"
    // clang-format on
    // 4 "数组成员数目超出允许范围"
    "\xCA\xFD\xD7\xE9\xB3\xC9\xD4\xB1\xCA\xFD\xC4\xBF\xB3\xAC\xB3\xF6\xD4\xCA\xD0\xED\xB7\xB6\xCE\xA7",
    "\xCA\xFD\xBE\xDD\xC0\xE0\xD0\xCD\xB2\xBB\xC6\xA5\xC5\xE4",  // 5 "数据类型不匹配"
    // 6 "调用DLL命令后发现堆栈错误"
    // clang-format off
    "\xB5\xF7\xD3\xC3" "DLL\xC3\xFC\xC1\xEE\xBA\xF3\xB7\xA2\xCF\xD6\xB6\xD1\xD5\xBB\xB4\xED\xCE\xF3",
    "\xCA\xFD\xD6\xB5\xD4\xCB\xCB\xE3\xD2\xE7\xB3\xF6",              // 7 "数值运算溢出"
    "\xB2\xCE\xCA\xFD\xCA\xFD\xC4\xBF\xB2\xBB\xD5\xFD\xC8\xB7",      // 8 "参数数目不正确"
    "\xB7\xC3\xCE\xCA\xC1\xCB\xBF\xD5\xCA\xFD\xBE\xDD",              // 9 "访问了空数据"
    // clang-format on
    // 10 "数据长度超出允许范围"
    "\xCA\xFD\xBE\xDD\xB3\xA4\xB6\xC8\xB3\xAC\xB3\xF6\xD4\xCA\xD0\xED\xB7\xB6\xCE\xA7",
    // 11 "对空数组进行了成员访问"
    "\xB6\xD4\xBF\xD5\xCA\xFD\xD7\xE9\xBD\xF8\xD0\xD0\xC1\xCB\xB3\xC9\xD4\xB1\xB7\xC3\xCE\xCA",
};
constexpr int32_t kRuntimeErrorCount =
    static_cast<int32_t>(sizeof kRuntimeErrorMessages / sizeof kRuntimeErrorMessages[0]);
static_assert(kRuntimeErrorCount == 11, "run-time error codes are 1..11");

constexpr char kHeadline[] = "\xD4\xCB\xD0\xD0\xCA\xB1\xB3\xF6\xB4\xED!\r\n";  // "运行时出错!\r\n"
constexpr char kCodeLabel[] = "\r\n\xB4\xED\xCE\xF3\xB4\xFA\xC2\xEB\xA3\xBA";  // "\r\n错误代码："
constexpr char kMessageLabel[] =
    "\r\n\xB4\xED\xCE\xF3\xD0\xC5\xCF\xA2\xA3\xBA";  // "\r\n错误信息："
// "\r\n未找到所指定的窗口"
constexpr char kWindowMissing[] =
    "\r\n\xCE\xB4\xD5\xD2\xB5\xBD\xCB\xF9\xD6\xB8\xB6\xA8\xB5\xC4\xB4\xB0\xBF\xDA";
// "\r\n未找到所指定的窗口组件"
constexpr char kElementMissing[] =
    "\r\n\xCE\xB4\xD5\xD2\xB5\xBD\xCB\xF9\xD6\xB8\xB6\xA8\xB5\xC4\xB4\xB0\xBF\xDA\xD7\xE9\xBC\xFE";

constexpr uint32_t kLocationKindMask = 0x0F000000;
constexpr uint32_t kWindowKind = 0x02000000;

// The report is written straight into the caller's buffer: a report about failed memory must
// not ask for any. Once a piece does not fit, the rest is dropped and the text is refused whole.
class PieceList {
public:
    PieceList(char* out, size_t capacity) noexcept : out_(out), left_(capacity) {}
    void Add(const char* text) noexcept { Add(text, std::strlen(text)); }
    void Add(const char* text, size_t length) noexcept {
        if (!out_ || length >= left_) {
            out_ = nullptr;
            return;
        }
        std::memcpy(out_, text, length);
        out_ += length;
        left_ -= length;
        *out_ = '\0';
    }
    bool Fits() const noexcept { return out_ != nullptr; }

private:
    char* out_;
    size_t left_;
};

struct Decimal {
    explicit Decimal(int32_t value) noexcept
        : length(static_cast<size_t>(std::to_chars(digits, digits + sizeof digits, value).ptr -
                                     digits)) {}
    char digits[12] = {};
    size_t length;
};

// A line break and the tag between two ASCII double quotes.
void AddQuotedTagLine(PieceList& pieces, const Text& tag) noexcept {
    pieces.Add("\r\n\"");
    pieces.Add(tag.c_str());
    pieces.Add("\"");
}

}  // namespace

const char* RuntimeErrorMessage(int32_t code) noexcept {
    if (code < 1 || code > kRuntimeErrorCount) {
        return "";
    }
    return kRuntimeErrorMessages[code - 1];
}

bool BuildFatalReportText(char* out, size_t capacity, const char* message, int32_t code,
                          ErrorLocation where, const ErrorLocationLookup& lookup) {
    PieceList pieces(capacity > 0 ? out : nullptr, capacity);
    pieces.Add(kHeadline);

    const Decimal codeText(code);
    if (code != 0) {
        pieces.Add(kCodeLabel);
        pieces.Add(codeText.digits, codeText.length);
        pieces.Add("\r\n");
    }
    if (message && message[0] != '\0') {
        pieces.Add(kMessageLabel);
        pieces.Add(message);
        pieces.Add("\r\n");
    }

    const Decimal first(where.first);
    const Decimal second(where.second);
    pieces.Add("\r\n");
    pieces.Add(first.digits, first.length);
    pieces.Add(", ");
    pieces.Add(second.digits, second.length);

    Text windowTag;
    Text elementTag;
    if (where.first != 0 &&
        (static_cast<uint32_t>(where.first) & kLocationKindMask) == kWindowKind) {
        if (!lookup.FindWindowTag(where.first, &windowTag)) {
            pieces.Add(kWindowMissing);
        } else {
            AddQuotedTagLine(pieces, windowTag);
            if (lookup.FindElementTag(where.first, where.second, &elementTag)) {
                AddQuotedTagLine(pieces, elementTag);
            } else {
                pieces.Add(kElementMissing);
            }
        }
    }
    pieces.Add("\r\n");
    return pieces.Fits();
}

void ReportRuntimeError(int32_t code, ErrorLocation where) {
    ReportFatalError(RuntimeErrorMessage(code), code, where);
}
