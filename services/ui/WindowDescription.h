// The constant description of a window and its controls, as the application writes it and
// the window layer builds it. Plain data: no platform types, so the rules derived from it
// (tab order, placement) build and are tested anywhere.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

enum class ControlKind { EditBox, Label, Button, GroupBox, PicBox, CommonDlg };

using ClickHandler = void (*)();

// A colour is 0x00BBGGRR, or kSystemButtonFace for the system's button-face colour.
constexpr uint32_t kSystemButtonFace = 0xFF000000u;
constexpr uint32_t kBlack = 0x00000000u;
constexpr uint32_t kWhite = 0x00FFFFFFu;

// Window numbers carry 2 in bits 24..27, control numbers 6; the error report relies on it.
constexpr int32_t kWindowNumberKind = 2;
constexpr int32_t kControlNumberKind = 6;
constexpr int32_t NumberKind(int32_t number) {
    return (number >> 24) & 0xF;
}

struct EditBoxSettings {
    bool multiLine = false;
    bool verticalScrollBar = false;
    bool readOnly = false;
};

struct PicBoxSettings {
    int32_t displayMode = 0;  // 0 natural size, 1 stretched, 2 centred and fitted
    uint32_t background = kSystemButtonFace;
    bool animate = true;
};

// A flag of the file dialog counts as on only when it holds exactly 1.
struct CommonDlgSettings {
    const char* title = "";
    const char* filter = "";
    const char* initialDir = "";
    const char* defaultExt = "";
    const char* fileName = "";
    int32_t filterIndex = 0;
    int32_t promptCreate = 0;
    int32_t fileMustExist = 1;
    int32_t promptOverwrite = 1;
    int32_t pathMustExist = 1;
    int32_t keepCurrentDir = 0;
};

struct ControlDescription {
    int32_t number = 0;     // control number, 6 in bits 24..27
    const char* name = "";  // code page 936, unique within the window
    ControlKind kind = ControlKind::Label;
    const char* parent = nullptr;  // nullptr: the window; else the name of a GroupBox
    int32_t left = 0, top = 0, width = 0, height = 0;
    bool visible = true;
    bool enabled = true;
    bool tabStop = false;
    int32_t tabOrder = 0;
    const char* text = "";  // caption or initial content, code page 936
    const char* tag = "";   // free text shown by the error report
    uint32_t textColor = kBlack;
    uint32_t background = kSystemButtonFace;
    bool defaultButton = false;
    EditBoxSettings edit;
    PicBoxSettings picture;
    CommonDlgSettings dialog;
    ClickHandler onClick = nullptr;
};

struct WindowDescription {
    int32_t number = 0;  // window number, 2 in bits 24..27
    const char* caption = "";
    int32_t width = 0, height = 0;  // outer size
    bool escClosesWindow = false;
    bool enterMovesFocus = false;
    bool f1OpensHelp = false;
    const char* tag = "";
    const ControlDescription* controls = nullptr;
    int32_t controlCount = 0;
    // Files dropped on the window: the first becomes the chosen file of this CommonDlg, as if
    // picked in its dialog, and onFileDrop runs. nullptr: the window takes no files.
    const char* dropFileDialog = nullptr;
    ClickHandler onFileDrop = nullptr;
};

// A control's row written field by field, by name:
//   ControlRow(ControlKind::Button, "name").In("group").At(16, 56).Size(224, 24).Text("ok")
// Fields not written keep the defaults above; NumberRows gives the rows their numbers.
class ControlRow {
public:
    constexpr ControlRow(ControlKind kind, const char* name) : c_() {
        c_.kind = kind;
        c_.name = name;
    }
    // clang-format off
    constexpr ControlRow& In(const char* group) { c_.parent = group; return *this; }
    constexpr ControlRow& At(int32_t x, int32_t y) { c_.left = x; c_.top = y; return *this; }
    constexpr ControlRow& Size(int32_t w, int32_t h) { c_.width = w; c_.height = h; return *this; }
    constexpr ControlRow& Text(const char* text) { c_.text = text; return *this; }
    constexpr ControlRow& Tag(const char* tag) { c_.tag = tag; return *this; }
    constexpr ControlRow& TabStop() { c_.tabStop = true; return *this; }
    constexpr ControlRow& Hidden() { c_.visible = false; return *this; }
    constexpr ControlRow& Colors(uint32_t text, uint32_t background) {
        c_.textColor = text; c_.background = background; return *this;
    }
    constexpr ControlRow& MultiLine() { c_.edit.multiLine = true; return *this; }
    constexpr ControlRow& ScrollBar() { c_.edit.verticalScrollBar = true; return *this; }
    constexpr ControlRow& Stretched() { c_.picture.displayMode = 1; return *this; }
    constexpr ControlRow& OnClick(ClickHandler handler) { c_.onClick = handler; return *this; }
    // clang-format on
    constexpr const ControlDescription& Row() const { return c_; }

private:
    ControlDescription c_;
};

// The rows in description order, numbered first, first + 1, ... (control numbers, 6 in bits
// 24..27).
template <size_t N>
constexpr std::array<ControlDescription, N> NumberRows(int32_t first, const ControlRow (&rows)[N]) {
    std::array<ControlDescription, N> out{};
    for (size_t i = 0; i < N; ++i) {
        out[i] = rows[i].Row();
        out[i].number = first + static_cast<int32_t>(i);
    }
    return out;
}

// The child-window ID a control's window carries: 1000 plus its 1-based position in the
// description. The window layer gives it; the GUI tests find controls by it.
constexpr int32_t kControlIdBase = 1000;
constexpr int32_t ControlWindowId(int32_t index) {
    return kControlIdBase + index + 1;
}

// Equal texts; a missing text equals only another missing one.
constexpr bool SameName(const char* a, const char* b) {
    if (!a || !b) return a == b;
    while (*a && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

// Why a description cannot be built, or nullptr when it can: empty or duplicate names, a parent
// that is not an earlier-or-later GroupBox of the same window, negative sizes, numbers of the
// wrong kind. The window layer checks at start-up; the program's own description is also
// checked when it is compiled.
constexpr const char* CheckWindowDescription(const WindowDescription& window) {
    if (NumberKind(window.number) != kWindowNumberKind) return "window number";
    if (window.width < 0 || window.height < 0) return "window size";
    if (window.controlCount < 0 || (window.controlCount > 0 && !window.controls))
        return "control list";
    for (int32_t i = 0; i < window.controlCount; ++i) {
        const ControlDescription& c = window.controls[i];
        if (!c.name || !*c.name) return "control name";
        if (NumberKind(c.number) != kControlNumberKind) return "control number";
        if (c.width < 0 || c.height < 0) return "control size";
        if (!c.text || !c.tag) return "control text";
        bool parentFound = c.parent == nullptr;
        for (int32_t j = 0; j < window.controlCount; ++j) {
            const ControlDescription& other = window.controls[j];
            if (j != i && SameName(other.name, c.name)) return "duplicate control name";
            if (j != i && other.number == c.number) return "duplicate control number";
            if (c.parent && SameName(other.name, c.parent)) {
                if (other.kind != ControlKind::GroupBox || other.parent) return "parent kind";
                parentFound = true;
            }
        }
        if (!parentFound) return "unknown parent";
    }
    if (window.dropFileDialog) {
        bool found = false;
        for (int32_t i = 0; i < window.controlCount; ++i)
            found = found || (SameName(window.controls[i].name, window.dropFileDialog) &&
                              window.controls[i].kind == ControlKind::CommonDlg);
        if (!found) return "drop dialog";
    }
    return nullptr;
}
