// Files dragged onto the program from this process, as a file manager drags them: an OLE
// drag (DoDragDrop) carrying CF_HDROP, led by real mouse input from a second thread while
// DoDragDrop tracks it here. What the program then shows is read through its picture box's
// accessible value, the cursor it asked for through the effect its drop target answered. The
// time the drop holds the source is measured here, as a file manager would feel it.
#include "Tests.h"

#include "Accessible.h"
#include "Fixtures.h"
#include "IconPicker.h"
#include "TestPictures.h"

#include <shlobj.h>
#include <windowsx.h>

#include <cstring>

namespace driver {

using namespace testpictures;

namespace {

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif

// The memory of a CF_HDROP list: the DROPFILES header with the list's offset and whether its
// paths are wide, then `text` (paths, each with its 0, and a closing 0) as wide or single
// bytes. Well-formed lists come from WideList; the others are what a careless sender sends.
Bytes DropList(uint32_t offset, bool wide, const std::wstring& text) {
    DROPFILES header{};
    header.pFiles = offset;
    header.fWide = wide;
    Bytes bytes(sizeof header);
    std::memcpy(bytes.data(), &header, sizeof header);
    for (wchar_t c : text) {
        bytes.push_back(static_cast<uint8_t>(c & 0xFF));
        if (wide) bytes.push_back(static_cast<uint8_t>(c >> 8));
    }
    return bytes;
}

Bytes WideList(const std::vector<std::wstring>& paths) {
    std::wstring text;
    for (const std::wstring& p : paths) text += p + L'\0';
    return DropList(sizeof(DROPFILES), true, text + L'\0');
}

// A file list offered as CF_HDROP only, as the shell offers a selection of files.
class FileList final : public IDataObject {
public:
    explicit FileList(Bytes list) : list_(std::move(list)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        *out = nullptr;
        if (riid != IID_IUnknown && riid != IID_IDataObject) return E_NOINTERFACE;
        *out = static_cast<IDataObject*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(InterlockedDecrement(&refs_)); }

    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
        if (QueryGetData(format) != S_OK) return DV_E_FORMATETC;
        const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, list_.size());
        if (!memory) return E_OUTOFMEMORY;
        std::memcpy(GlobalLock(memory), list_.data(), list_.size());
        GlobalUnlock(memory);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = memory;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
        return format && format->cfFormat == CF_HDROP && (format->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        out->ptd = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override {
        if (direction != DATADIR_GET) return E_NOTIMPL;
        FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        return SHCreateStdEnumFmtEtc(1, &format, out);
    }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    LONG refs_ = 1;
    Bytes list_;
};

// Drops when the left button comes up; notes every effect the target answered.
class MouseSource final : public IDropSource {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        *out = nullptr;
        if (riid != IID_IUnknown && riid != IID_IDropSource) return E_NOINTERFACE;
        *out = static_cast<IDropSource*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    // DoDragDrop asks this at each mouse or timer message it tracks, before it asks the
    // target under that message's point: the point of the message just taken is where the
    // following answer is given. The cursor's own position
    // is not: Wine may read it from the X server while DoDragDrop still follows an older one.
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD keys) override {
        const DWORD at = GetMessagePos();
        InterlockedExchange(&trackedAtTarget, GET_X_LPARAM(at) == target.x && GET_Y_LPARAM(at) == target.y);
        InterlockedIncrement(&queries);
        if (escape) return DRAGDROP_S_CANCEL;
        if (keys & MK_LBUTTON) return S_OK;
        QueryPerformanceCounter(&droppedAt);
        return DRAGDROP_S_DROP;
    }
    // The target's answer is noted when it was given for the target's point.
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD effect) override {
        if (trackedAtTarget) {
            InterlockedExchange(&effectAtTarget, static_cast<LONG>(effect));
            InterlockedIncrement(&answersAtTarget);
        }
        InterlockedIncrement(&feedbacks);
        return DRAGDROP_S_USEDEFAULTCURSORS;
    }

    POINT target{};
    volatile LONG queries = 0;
    volatile LONG feedbacks = 0;
    volatile LONG trackedAtTarget = 0;
    volatile LONG answersAtTarget = 0;
    volatile LONG effectAtTarget = -1;
    LARGE_INTEGER droppedAt{}; // when the source said to drop: then the target's Drop runs
};

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

// Polls from the mover thread, which has no window to pump.
template <typename Condition>
bool Within(DWORD timeoutMs, Condition condition) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!condition()) {
        if (GetTickCount64() >= deadline) return false;
        Sleep(10);
    }
    return true;
}

struct DragPlan {
    MouseSource* source;
    POINT from, to;
    LONG expected;        // the effect the target should answer there
    LONG overTarget = -1; // the effect answered while the mouse rested on the target
};

// The hand of the drag: waits until DoDragDrop tracks the mouse, moves it to the target in
// steps, lets the target answer a few times, and lets go.
DWORD WINAPI MoveAndRelease(void* parameter) {
    DragPlan& plan = *static_cast<DragPlan*>(parameter);
    MouseSource& source = *plan.source;
    Within(kStepTimeoutMs, [&] { return source.queries > 0; });
    constexpr int kSteps = 6;
    for (int i = 1; i <= kSteps; ++i) {
        const LONG seen = source.queries;
        MouseAt(POINT{plan.from.x + (plan.to.x - plan.from.x) * i / kSteps,
                      plan.from.y + (plan.to.y - plan.from.y) * i / kSteps},
                0);
        Within(300, [&] { return source.queries > seen; });
    }
    // Wine's X driver may hand the tracking thread a crossing event of an earlier step after
    // the last move (the warps were made here, so that thread cannot tell the event is stale);
    // the cursor DoDragDrop follows then stays back there, over no target, while the screen's
    // is at the target. The move is made again until the drag is tracked at the target, and
    // the answer there is given time to become the expected one.
    LONG movedAt = source.queries;
    Within(kStepTimeoutMs, [&] {
        if (source.answersAtTarget >= 3 && source.effectAtTarget == plan.expected) return true;
        if (!source.trackedAtTarget && source.queries > movedAt + 2) {
            movedAt = source.queries;
            MouseAt(plan.to, 0);
        }
        return false;
    });
    plan.overTarget = source.effectAtTarget;
    MouseAt(plan.to, MOUSEEVENTF_LEFTUP);
    return 0;
}

double MillisecondsBetween(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    return from.QuadPart == 0
               ? -1.0
               : 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct DragResult {
    HRESULT hr = E_FAIL;
    double dropMs = -1;             // from the source's drop to DoDragDrop's return: the target's Drop
    LARGE_INTEGER returnedAt{};     // when DoDragDrop returned
    DWORD effect = DROPEFFECT_NONE; // what the drop did
    LONG overTarget = -1;           // what the target answered before the drop: the cursor
    LONG feedbacks = 0, queries = 0;
};

std::wstring EffectText(LONG effect) {
    return effect == DROPEFFECT_COPY ? L"copy" : effect == DROPEFFECT_NONE ? L"none" : Cat(L"effect ", effect);
}

// Drags `paths` from a window of this thread, away from the program's, onto `to`, and drops
// them. The drag starts with the button pressed on this thread's own window, as in a file
// manager: DoDragDrop reads the button from this thread's key state.
DragResult DragFiles(const Bytes& list, POINT to, bool cursor) {
    FileList data(list);
    MouseSource source;
    source.target = to;
    DriverWindow start;
    DragPlan plan{&source, CentreOf(start.Handle()), to, cursor ? DROPEFFECT_COPY : DROPEFFECT_NONE};
    MouseAt(plan.from, 0);
    MouseAt(plan.from, MOUSEEVENTF_LEFTDOWN);
    DragResult result;
    if (!WaitUntil(kStepTimeoutMs, [] { return GetKeyState(VK_LBUTTON) < 0; })) {
        MouseAt(plan.from, MOUSEEVENTF_LEFTUP);
        return result;
    }
    const HANDLE mover = CreateThread(nullptr, 0, MoveAndRelease, &plan, 0, nullptr);
    if (!mover) {
        MouseAt(plan.from, MOUSEEVENTF_LEFTUP);
        return result;
    }
    result.hr = DoDragDrop(&data, &source, DROPEFFECT_COPY, &result.effect);
    QueryPerformanceCounter(&result.returnedAt);
    result.dropMs = MillisecondsBetween(source.droppedAt, result.returnedAt);
    WaitForSingleObject(mover, kExitTimeoutMs);
    CloseHandle(mover);
    if (GetAsyncKeyState(VK_LBUTTON) < 0) MouseAt(to, MOUSEEVENTF_LEFTUP);
    result.overTarget = plan.overTarget;
    result.feedbacks = source.feedbacks;
    result.queries = source.queries;
    return result;
}

// Expects the cursor over the window (copy when the window takes a file list now: it decides
// from the offered format alone) and the effect of the drop (copy when the list held a path).
void ExpectDrag(Check& check, const std::wstring& what, const DragResult& drag, bool cursor, bool dropped) {
    check.Note(Cat(what, L": the target answered ", drag.feedbacks, L" times, the source was asked ", drag.queries,
                   L", the drop held the source ", drag.dropMs, L" ms"));
    check.Expect(SUCCEEDED(drag.hr),
                 Cat(what, L": DoDragDrop failed, 0x", std::hex, static_cast<unsigned long>(drag.hr)));
    check.ExpectEq(what + L": cursor over the window", EffectText(cursor ? DROPEFFECT_COPY : DROPEFFECT_NONE),
                   EffectText(drag.overTarget));
    check.ExpectEq(what + L": effect of the drop", EffectText(dropped ? DROPEFFECT_COPY : DROPEFFECT_NONE),
                   EffectText(static_cast<LONG>(drag.effect)));
}

const wchar_t kNone[] = L"\x65E0\x56FE\x7247"; // 无图片

// A blue 9 x 9 picture followed by 300 MB of zeros (sparse, so quick to make): read whole,
// then shown.
bool WriteLargeBmp(const std::wstring& path) {
    return WriteFileBytes(path, BmpFile(Filled(9, 9, kBlue), 24)) && SetFileLength(path, 300LL << 20);
}

} // namespace

void DropFiles(Check& check, const Options& options) {
    Bench bench(check, options);
    auto& [folder, session, picker] = bench;
    OleScope ole;
    if (!bench.Ok() || !check.Expect(ole.ok, L"cannot initialise OLE")) return;
    const std::wstring korean = L"\xD55C\xAE00"; // 한글
    const bool koreanFolder = CreateDirectoryW((folder / korean).c_str(), nullptr) != FALSE;
    const bool files =
        WriteFileBytes(folder / L"a.png", PngFile(Filled(4, 4, kRed), false)) &&
        WriteFileBytes(folder / L"b.txt", Bytes(64, 'x')) &&
        WriteFileBytes(folder / L"c.bmp", BmpFile(Filled(5, 3, kBlue), 24)) &&
        CreateDirectoryW((folder / L"sub").c_str(), nullptr) &&
        (!koreanFolder || WriteFileBytes(folder / korean + L"\\d.png", PngFile(Filled(6, 6, kGreen), false)));
    if (!check.Expect(files, L"cannot write the files")) return;
    if (!check.Expect(WriteLargeBmp(folder / L"large.bmp"), L"cannot write the large file")) return;

    enum class While { Idle, MessageBox };
    // The cursor over the window, and the drop's effect: a posted path is a copy, even one
    // that turns out to be a folder when the window looks at it.
    enum Answer { kTaken, kListHoldsNoPath, kRefused };
    struct Row {
        const wchar_t* what;
        std::vector<std::wstring> names;
        While during;
        Answer answer;
        std::wstring value;   // empty: what it was before the drag
        int onto = kPicture1; // the control the mouse lets go over
        Bytes list = {};      // a list as it comes, instead of `names`
    };
    const std::wstring png = L"PNG 4 \x00D7 4", bmp = L"BMP 5 \x00D7 3";
    const Row rows[] = {
        {L"a PNG shows", {L"a.png"}, While::Idle, kTaken, png},
        {L"a file that is not a picture blanks the box", {L"b.txt"}, While::Idle, kTaken, kNone},
        {L"of two files the first shows", {L"c.bmp", L"a.png"}, While::Idle, kTaken, bmp},
        {L"a folder changes nothing", {L"sub"}, While::Idle, kTaken, L""},
        {L"a folder and a file: the file shows", {L"sub", L"a.png"}, While::Idle, kTaken, png},
        {L"a Korean-named folder", {korean + L"\\d.png"}, While::Idle, kTaken, L"PNG 6 \x00D7 6"},
        {L"a file let go over a label of the window shows too", {L"c.bmp"}, While::Idle, kTaken, bmp, kLabel1},
        {L"a file of 300 MB: the drop returns before it is read",
         {L"large.bmp"},
         While::Idle,
         kTaken,
         L"BMP 9 \x00D7 9"},
        {L"a list of single-byte paths",
         {},
         While::Idle,
         kTaken,
         png,
         kPicture1,
         DropList(sizeof(DROPFILES), false, folder / L"a.png" + L'\0' + L'\0')},
        {L"a list whose paths lie past its end changes nothing",
         {},
         While::Idle,
         kListHoldsNoPath,
         L"",
         kPicture1,
         DropList(4096, true, folder / L"c.bmp" + L'\0' + L'\0')},
        {L"a list whose path has no end changes nothing",
         {},
         While::Idle,
         kListHoldsNoPath,
         L"",
         kPicture1,
         DropList(sizeof(DROPFILES), true, folder / L"c.bmp")},
        {L"a list shorter than its header changes nothing",
         {},
         While::Idle,
         kListHoldsNoPath,
         L"",
         kPicture1,
         Bytes(12, 0)},
        {L"nothing is taken while a message box is up", {L"c.bmp"}, While::MessageBox, kRefused, L""},
    };
    HWND box = picker.Box();
    for (const Row& row : rows) {
        check.Note(row.what);
        if (!row.names.empty() && row.names.front().find(korean) == 0 && !koreanFolder) {
            // Wine names files on the Unix side in the locale's code page; GBK has no Hangul.
            check.Note(L"no Korean name can exist in this run; left to the UTF-8 run");
            continue;
        }
        std::vector<std::wstring> paths;
        for (const std::wstring& name : row.names) paths.push_back(folder / name);
        HWND message = nullptr;
        if (row.during == While::MessageBox) {
            if (!session.Front()) return;
            ClickCentre(session.Control(kButton3));
            message = WaitDialogOf(session.Process().Pid(), kMessageCaption);
            if (!check.Expect(message != nullptr, L"no message box after the packaging button")) return;
        }
        const std::wstring before = PictureValue(box);
        const bool cursor = row.answer != kRefused;
        const DragResult drag =
            DragFiles(row.list.empty() ? WideList(paths) : row.list, CentreOf(session.Control(row.onto)), cursor);
        ExpectDrag(check, row.what, drag, cursor, row.answer == kTaken);
        if (message) {
            check.ExpectEq(Cat(row.what, L": value while the box is up"), before, PictureValue(box));
            PressDialogButton(message, IDOK);
            WaitUntil(kStepTimeoutMs, [&] { return !IsWindow(message); });
        }
        const std::wstring want = row.value.empty() ? before : row.value;
        check.ExpectEq(Cat(row.what, L": value"), want, WaitPictureValue(box, want));
        LARGE_INTEGER shown{};
        QueryPerformanceCounter(&shown);
        if (row.answer == kTaken && want != before)
            check.Note(Cat(row.what, L": shown ", MillisecondsBetween(drag.returnedAt, shown),
                           L" ms after the drop returned"));
        if (want == png) {
            const std::wstring problems = picker.WaitProbes(Everywhere(RGB(255, 0, 0)));
            check.Expect(problems.empty(), Cat(row.what, L": the picture does not show: ", problems));
        }
    }
}

// A dropped file is the open dialog's choice from then on: the dialog opens on it, refuses
// drops while it is up, and Cancel reads the file again.
void DropThenCancelRereads(Check& check, const Options& options) {
    Bench bench(check, options);
    auto& [folder, session, picker] = bench;
    OleScope ole;
    if (!bench.Ok() || !check.Expect(ole.ok, L"cannot initialise OLE")) return;
    const std::wstring path = folder / L"dropped.png";
    if (!check.Expect(WriteFileBytes(folder / L"dropped.png", PngFile(Filled(7, 7, kRed), false)),
                      L"cannot write a file"))
        return;
    HWND box = picker.Box();
    ExpectDrag(check, L"the drop", DragFiles(WideList({path}), CentreOf(box), true), true, true);
    check.ExpectEq(L"after the drop", L"PNG 7 \x00D7 7", WaitPictureValue(box, L"PNG 7 \x00D7 7"));
    if (!picker.Clear()) return;
    check.ExpectEq(L"after clearing", kNone, WaitPictureValue(box, kNone));

    // The file changes on disk: what Cancel shows must be read anew.
    WriteFileBytes(folder / L"dropped.png", PngFile(Filled(8, 8, kBlue), false));
    HWND dialog = picker.OpenDialog();
    if (dialog == nullptr) return;
    const std::wstring field = TextOf(picker.FileNameEdit(dialog));
    check.Expect(field.find(L"dropped.png") != std::wstring::npos,
                 Cat(L"the dialog opens on ", Quoted(field), L", not on the dropped file"));
    ExpectDrag(check, L"a drop while the dialog is up",
               DragFiles(WideList({folder / L"dropped.png"}), CentreOf(box), false), false, false);
    check.ExpectEq(L"while the dialog is up", kNone, PictureValue(box));
    if (!picker.Cancel(dialog, IconPicker::Dismiss::CancelButton)) return;
    check.ExpectEq(L"after Cancel", L"PNG 8 \x00D7 8", WaitPictureValue(box, L"PNG 8 \x00D7 8"));
}

// While a dropped 300 MB file is read, the program shows a cursor other than its arrow (the
// wait cursor), and the arrow comes back when it is done although the mouse has not moved.
// The cursor read is the foreground program's, so the program is brought to the front at once.
void WaitCursorWhileReading(Check& check, const Options& options) {
    Bench bench(check, options);
    auto& [folder, session, picker] = bench;
    OleScope ole;
    if (!bench.Ok() || !check.Expect(ole.ok && WriteLargeBmp(folder / L"large.bmp"), L"no OLE or file") ||
        !session.Front())
        return;
    const POINT onBox = CentreOf(picker.Box());
    CURSORINFO info{sizeof info, 0, nullptr, {}};
    MouseAt(onBox, 0);
    if (!check.Expect(WaitUntil(kStepTimeoutMs, [&] { return GetCursorInfo(&info) && info.hCursor; }),
                      L"no cursor over the box"))
        return;
    // The cursors the pointer wore, each change once. The one over the box when the drop began
    // may still be another window's, until the program takes the move; what counts is that the
    // last one before the wait cursor comes back.
    std::vector<HCURSOR> worn{info.hCursor};
    DragFiles(WideList({folder / L"large.bmp"}), onBox, true);
    if (!BringToFront(session.Main())) return;
    const bool back = WaitUntil(kStepTimeoutMs * 2, [&] {
        if (GetCursorInfo(&info) && info.hCursor != worn.back()) worn.push_back(info.hCursor);
        const size_t n = worn.size();
        return n >= 3 && worn[n - 1] == worn[n - 3];
    });
    check.Expect(back, worn.size() > 1 ? L"the cursor from before the wait did not come back after the file was read"
                                       : L"no cursor but the arrow showed while the file was read");
}

} // namespace driver
