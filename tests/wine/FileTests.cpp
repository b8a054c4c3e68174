// The file-open dialog of 选择图片 and whole-file reading. The dialog is the system's, run with
// the program's settings: every file listed, one selection, names that do not exist refused,
// the last chosen path offered again. Reading goes through the probe program, which shows
// what the read service returned, and through the real dialog for folders whose names code
// page 936 cannot write.
#include "Tests.h"

#include "Fixtures.h"
#include "IconPicker.h"
#include "Session.h"
#include "TestPictures.h"

#include <commctrl.h>

namespace driver {

using namespace testpictures;

namespace {

// The control ID of the system's open dialog's file-type list (cmb1).
constexpr int kTypeCombo = 0x470;

// A 24-bit BMP of one colour.
Bytes SolidBmp(int width, int height, COLORREF colour) {
    return BmpFile(Filled(width, height, Rgba{GetRValue(colour), GetGValue(colour), GetBValue(colour)}), 24);
}

// The open dialog as the tests work it.
struct OpenDialog {
    HWND dialog = nullptr;
    HWND name = nullptr; // the file-name edit

    // The file list; a new one replaces the old whenever the dialog changes folder.
    HWND List() const {
        for (HWND hwnd : ChildrenOf(dialog)) {
            if (ClassOf(hwnd) == L"SysListView32") return hwnd;
        }
        return nullptr;
    }
    // Types a name and presses the dialog's default button, as Enter in the name field does.
    void Enter(const std::wstring& text) const {
        Ask(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        PressDialogButton(dialog, IDOK);
    }
};

// Clicks 选择图片 and waits for the dialog and its file-name field.
bool OpenTheDialog(IconPicker& picker, OpenDialog& open) {
    open.dialog = picker.OpenDialog();
    open.name = open.dialog ? picker.FileNameEdit(open.dialog) : nullptr;
    return open.name != nullptr;
}

bool WaitClosed(HWND dialog) {
    return WaitUntil(kStepTimeoutMs, [&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); });
}

// The dialog goes before its handler reads the file and sets the picture: a box that already
// looks as wanted proves nothing until the program is idle again. CLR_INVALID: blank.
bool WaitShows(Session& session, IconPicker& picker, COLORREF colour) {
    session.Front();
    if (!session.Sync()) return false;
    return (colour == CLR_INVALID ? picker.WaitBlank() : picker.WaitProbes(Everywhere(colour, 16))).empty();
}

} // namespace

// One run of 选择图片 after another: what the dialog offers, what it refuses, what Cancel
// keeps.
void OpenDialogSettings(Check& check, const Options& options) {
    TempFolder folder;
    if (!check.Expect(folder.Ok(), L"cannot create a scratch folder")) return;
    const COLORREF red = RGB(0xE0, 0x10, 0x10);
    // Four files and no folder: every one of them must be listed, whatever its type.
    const bool written = WriteFileBytes(folder / L"one.bmp", SolidBmp(8, 8, red)) &&
                         WriteFileBytes(folder / L"two.txt", "text") && WriteFileBytes(folder / L"three.xyz", "xyz") &&
                         WriteFileBytes(folder / L"four", "");
    if (!check.Expect(written, L"cannot write the files to choose from")) return;

    Session session(check, options);
    if (!session.Ok()) return;
    IconPicker picker(check, session);
    HWND selectButton = session.Control(kButton1);
    if (!picker.Ok() || selectButton == nullptr) return;

    // First run: nothing chosen yet.
    OpenDialog open;
    if (!OpenTheDialog(picker, open)) return;
    check.Expect(GetWindow(open.dialog, GW_OWNER) == session.Main(), L"the dialog is not owned by the main window");
    check.Expect(!IsWindowEnabled(session.Main()), L"the main window is enabled while the dialog is up");
    check.ExpectEq(L"file-name field of the first run", L"", TextOf(open.name));
    if (HWND types = GetDlgItem(open.dialog, kTypeCombo); types != nullptr && IsWindowVisible(types)) {
        check.ExpectEq(L"entries in the file-type list", 0, Ask(types, CB_GETCOUNT));
    }
    // Going to the folder: the dialog stays open and lists it.
    open.Enter(folder.Path());
    check.Expect(WaitUntil(kStepTimeoutMs, [&] { return Ask(open.List(), LVM_GETITEMCOUNT) == 4; }),
                 Cat(L"files listed in the folder: wanted 4, got ", Ask(open.List(), LVM_GETITEMCOUNT)));
    check.Expect((GetWindowLongW(open.List(), GWL_STYLE) & LVS_SINGLESEL) != 0,
                 L"the file list allows more than one selection");
    PressDialogButton(open.dialog, IDCANCEL);
    if (!check.Expect(WaitClosed(open.dialog), L"Cancel did not close the dialog")) return;
    check.Expect(IsWindowEnabled(session.Main()) != FALSE, L"the main window stays disabled after the dialog");
    check.Expect(WaitUntil(kStepTimeoutMs, [&] { return session.Focus() == selectButton; }),
                 L"after the dialog the focus is on " + session.FocusName() + L", not on " + ControlName(kButton1));
    check.Expect(WaitShows(session, picker, CLR_INVALID),
                 L"the picture box is not blank after a first run was cancelled");

    // Second run: still nothing chosen; a name that does not exist is refused with the
    // dialog's own warning; an existing file is taken.
    if (!OpenTheDialog(picker, open)) return;
    check.ExpectEq(L"file-name field after a cancelled run", L"", TextOf(open.name));
    open.Enter(folder / L"missing.bmp");
    HWND warning = WaitOtherDialogOf(session.Process().Pid(), open.dialog);
    if (check.Expect(warning != nullptr, L"a name that does not exist brought no warning")) {
        check.Expect(IsWindow(open.dialog) && IsWindowVisible(open.dialog),
                     L"the dialog closed on a name that does not exist");
        PressDialogButton(warning, IDOK);
        check.Expect(WaitClosed(warning), L"the warning did not close");
    }
    check.Expect(IsWindow(open.dialog) && IsWindowVisible(open.dialog), L"the dialog is gone after the warning");
    const std::wstring chosen = folder / L"one.bmp";
    open.Enter(chosen);
    if (!check.Expect(WaitClosed(open.dialog), L"the dialog did not close on an existing file")) return;
    check.Expect(WaitShows(session, picker, red), L"the chosen picture does not show");

    // Third run: the last chosen path is offered again. The system may show it whole, or
    // open its folder and show the name.
    if (!OpenTheDialog(picker, open)) return;
    const std::wstring offered = TextOf(open.name);
    if (offered == NameOf(chosen)) {
        check.Expect(WaitUntil(kStepTimeoutMs, [&] { return Ask(open.List(), LVM_GETITEMCOUNT) == 4; }),
                     L"the dialog offers the last name but not in its folder");
    } else {
        check.ExpectEq(L"file-name field after a choice", chosen, offered);
    }
    // Confirmed as offered, it is the same file again, in a box emptied meanwhile.
    PressDialogButton(open.dialog, IDCANCEL);
    if (!check.Expect(WaitClosed(open.dialog), L"Cancel did not close the dialog")) return;
    // Sent, so it returns once the handler has.
    Ask(session.Control(kButton2), BM_CLICK);
    check.Expect(WaitShows(session, picker, CLR_INVALID), ControlName(kButton2) + L" did not empty the picture box");
    if (!OpenTheDialog(picker, open)) return;
    PressDialogButton(open.dialog, IDOK);
    if (!check.Expect(WaitClosed(open.dialog), L"the dialog did not close on the offered name")) return;
    check.Expect(WaitShows(session, picker, red), L"the offered name did not show the picture again");
}

// ReadFileBytes as the probe reports it: "size:" and the bytes in hex.
void ReadFileCases(Check& check, const Options& options) {
    TempFolder data;
    if (!check.Expect(data.Ok(), L"cannot create a scratch folder")) return;
    enum class Hold { None, Writer, Reader };
    struct Row {
        const wchar_t* what;
        std::wstring path; // as given to the probe
        std::wstring file; // where the content goes; empty writes no file
        const char* bytes;
        size_t size;
        Hold hold; // another process keeps the file open meanwhile
        const wchar_t* wanted;
        long long sparse = 0; // when set, the file is this long and holds no data
    };
    // The probe runs in a sibling folder of `data`, which it makes its current folder.
    const std::wstring relative = L"..\\" + NameOf(data.Path()) + L"\\relative.bin";
    const Row rows[] = {
        {L"an empty path", L"", L"", nullptr, 0, Hold::None, L"0:"},
        {L"a file that does not exist", data / L"missing.bin", L"", nullptr, 0, Hold::None, L"0:"},
        {L"a folder", data.Path(), L"", nullptr, 0, Hold::None, L"0:"},
        {L"a file of zero bytes", data / L"empty.bin", data / L"empty.bin", "", 0, Hold::None, L"0:"},
        {L"a file of one byte", data / L"one.bin", data / L"one.bin", "\xA5", 1, Hold::None, L"1:A5"},
        {L"bytes past a NUL", data / L"zero-inside.bin", data / L"zero-inside.bin", "A\0\xFF", 3, Hold::None,
         L"3:41 00 FF"},
        {L"a file another process holds open for writing", data / L"written.bin", data / L"written.bin", "abc", 3,
         Hold::Writer, L"0:"},
        {L"a file another process holds open for reading", data / L"read.bin", data / L"read.bin", "abc", 3,
         Hold::Reader, L"3:61 62 63"},
        {L"a path relative to the program folder", relative, data / L"relative.bin", "xy", 2, Hold::None, L"2:78 79"},
        // Sizes that do not fit a signed 32-bit count are refused whole, not wrapped: 2 GiB
        // would read as -2 GiB, 4 GiB + 1 as 1 byte.
        {L"a sparse file of exactly 2 GiB", data / L"two.bin", data / L"two.bin", "", 0, Hold::None, L"0:",
         0x80000000LL},
        {L"a sparse file of 4 GiB and 1 byte", data / L"four.bin", data / L"four.bin", "", 0, Hold::None, L"0:",
         0x100000001LL},
    };
    for (const Row& row : rows) {
        const std::wstring& file = row.file;
        if (!file.empty() && !check.Expect(WriteFileBytes(file, std::string(row.bytes, row.size)),
                                           Cat(row.what, L": cannot write the file"))) {
            continue;
        }
        if (row.sparse != 0 && !check.Expect(SetFileLength(file, row.sparse),
                                             Cat(row.what, L": cannot make the file ", row.sparse, L" long"))) {
            continue;
        }
        HANDLE held = INVALID_HANDLE_VALUE;
        if (row.hold == Hold::Writer) {
            held = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        } else if (row.hold == Hold::Reader) {
            held = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        }
        if (row.hold != Hold::None &&
            !check.Expect(held != INVALID_HANDLE_VALUE, Cat(row.what, L": cannot hold the file open"))) {
            continue;
        }
        {
            ProbeRun probe(check, options, {L"read", row.path});
            if (probe.Ok()) {
                probe.PostFault();
                check.ExpectEq(Cat(L"read of ", row.what), row.wanted, probe.WaitResult());
            }
        }
        if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
        if (row.sparse != 0) DeleteFileW(file.c_str());
    }
}

// The probe shows the current folder it has after start-up: its own folder, wherever it was
// started from, and for a program kept in a drive root that root itself, "C:\" (the bare "C:"
// would name the drive's current folder, here the one it was started from).
void CurrentFolderAtStart(Check& check, const Options& options) {
    TempFolder home, elsewhere;
    if (!check.Expect(home.Ok() && elsewhere.Ok(), L"cannot create scratch folders")) return;
    const std::wstring drive = elsewhere.Path().substr(0, 3); // "C:\"
    const std::wstring rootProgram = Cat(drive, L"orvessa-probe-", GetCurrentProcessId(), L".exe");
    const struct {
        const wchar_t* what;
        std::wstring program;
        std::wstring wanted;
    } rows[] = {
        {L"kept in a folder, started from another", home / L"OrvessaProbe.exe", home.Path()},
        {L"kept in a drive root, started from a folder of that drive", rootProgram, drive},
    };
    for (const auto& row : rows) {
        check.Note(row.what);
        if (!check.Expect(CopyFileW(options.probe.c_str(), row.program.c_str(), FALSE) != FALSE,
                          Cat(row.what, L": cannot copy the probe to ", row.program, L": error ", GetLastError()))) {
            continue;
        }
        {
            Program probe(row.program, {L"folder"}, elsewhere.Path());
            HWND main = probe.WaitMainWindow();
            HWND fault = main ? FindControl(main, kProbeFault) : nullptr;
            HWND result = main ? FindControl(main, kProbeResult) : nullptr;
            if (check.Expect(fault && result, Cat(row.what, L": the probe showed no window"))) {
                PostMessageW(fault, BM_CLICK, 0, 0);
                WaitUntil(kStepTimeoutMs, [&] { return !TextOf(result).empty(); });
                const std::wstring got = TextOf(result);
                if (lstrcmpiW(got.c_str(), row.wanted.c_str()) != 0)
                    check.ExpectEq(Cat(row.what, L": current folder"), row.wanted, got);
                PostMessageW(main, WM_CLOSE, 0, 0);
                DWORD code = 0;
                probe.WaitExit(kExitTimeoutMs, code);
            }
        }
        // The probe's end-of-program routine leaves its marker in its current folder.
        DeleteFileW((FolderOf(row.program) + L"\\exit-routine-ran").c_str());
        DeleteFileW(row.program.c_str());
    }
}

// Folders and files whose names code page 936 cannot write are chosen in the dialog and
// read all the same; a Chinese name, which it can write, is the control row.
void FoldersOutsideGbk(Check& check, const Options& options) {
    TempFolder top;
    if (!check.Expect(top.Ok(), L"cannot create a scratch folder")) return;
    struct Row {
        const wchar_t* what;
        std::wstring folder;
        std::wstring file;
        COLORREF colour;
    };
    const Row rows[] = {
        {L"a Korean folder", L"\xD55C\xAE00" /* 한글 */, L"icon.bmp", RGB(0x10, 0xC0, 0x10)},
        {L"an accented Latin folder and file", L"\x00C5ngstr\x00F6m" /* Ångström */, L"\x00F8re.bmp" /* øre.bmp */,
         RGB(0x10, 0x10, 0xD0)},
        {L"a Chinese folder", L"\x56FE\x7247" /* 图片 */, L"\x56FE\x6807.bmp" /* 图标.bmp */, RGB(0xD0, 0x10, 0xD0)},
    };
    Session session(check, options);
    if (!session.Ok()) return;
    IconPicker picker(check, session);
    if (!picker.Ok()) return;
    for (const Row& row : rows) {
        const std::wstring folder = top / row.folder;
        const std::wstring file = folder + L"\\" + row.file;
        if (!CreateDirectoryW(folder.c_str(), nullptr)) {
            // Wine names its files on the Unix side in the code page of the Unix locale; in
            // the GBK run that cannot hold these names, so the UTF-8 run covers the row.
            const DWORD error = GetLastError();
            if (GetACP() == 936) {
                check.Note(Cat(row.what, L": no such folder can exist in this run (error ", error,
                               L"); left to the UTF-8 run"));
            } else {
                check.Fail(Cat(row.what, L": cannot create ", folder, L": error ", error));
            }
            continue;
        }
        if (!check.Expect(WriteFileBytes(file, SolidBmp(8, 8, row.colour)), Cat(row.what, L": cannot write ", file))) {
            continue;
        }
        OpenDialog open;
        if (!OpenTheDialog(picker, open)) return;
        open.Enter(file);
        if (!check.Expect(WaitClosed(open.dialog), Cat(row.what, L": the dialog did not take ", file))) {
            PressDialogButton(open.dialog, IDCANCEL);
            WaitClosed(open.dialog);
            continue;
        }
        check.Expect(WaitShows(session, picker, row.colour),
                     Cat(row.what, L": the picture chosen there does not show"));
    }
}

} // namespace driver
