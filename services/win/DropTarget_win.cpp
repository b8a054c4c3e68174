// The drop target of a program window. It takes CF_HDROP only. While such a drag is over the
// window it shows the copy cursor if the window takes files now (no message box or dialog of the
// program is up, no handler running), deciding from the offered formats alone: taking the data
// can make the source extract a file from an archive, and a file's attributes can stall on an
// offline share. The drop itself only copies the paths and leaves them with the window, so the
// source (a file manager) is free at once; a moment later the window hands the first path that
// is not a folder to the window layer, which treats it as the file chosen in the window's file
// dialog, under the refusal rules as they are at that moment.
#include "DropTarget_win.h"

#include <ole2.h>
#include <shlobj.h>

#include <cstdint>
#include <cstring>
#include <utility>

#include "DropPaths.h"
#include "Handles_win.h"
#include "LiveWindows_win.h"
#include "SystemLibrary_win.h"

namespace {

// Every path of a file list (the memory of CF_HDROP and of WM_DROPFILES's handle), in the
// order of the drop; ReadDroppedPaths checks where they lie.
std::vector<std::wstring> PathsOf(HGLOBAL list) {
    std::vector<std::wstring> paths;
    const GlobalLocked memory(list);
    const auto* base = static_cast<const uint8_t*>(memory.Get());
    const DroppedPaths found = ReadDroppedPaths(base, base ? memory.Size() : 0);
    for (const DroppedPath& p : found.paths) {
        const uint8_t* at = base + p.offset;
        std::wstring path;
        if (found.wide) {
            path.resize(p.length);
            std::memcpy(&path[0], at, p.length * sizeof(wchar_t));
        } else {
            const auto text = reinterpret_cast<const char*>(at);
            const int length = static_cast<int>(p.length);
            const int chars = MultiByteToWideChar(CP_ACP, 0, text, length, nullptr, 0);
            if (chars > 0) {
                path.resize(static_cast<size_t>(chars));
                MultiByteToWideChar(CP_ACP, 0, text, length, &path[0], chars);
            }
        }
        paths.push_back(std::move(path));
    }
    return paths;
}

const FORMATETC kFileList{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};

// Whether a data object offers a file list, asked without taking it.
bool OffersFiles(IDataObject* data) {
    FORMATETC format = kFileList;
    return data && data->QueryGetData(&format) == S_OK;
}

// The paths of a data object's file list; empty when it carries none.
std::vector<std::wstring> FileListOf(IDataObject* data) {
    FORMATETC format = kFileList;
    STGMEDIUM medium{};
    if (!data || FAILED(data->GetData(&format, &medium))) return {};
    std::vector<std::wstring> paths;
    if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal) paths = PathsOf(medium.hGlobal);
    ReleaseStgMedium(&medium);
    return paths;
}

// How long a taken drop waits before the window opens its file. The source is not free when
// Drop returns: it still releases its proxy of this target, a call into this thread, and a
// thread busy reading a large file would hold the source until it is done. A timer's message
// comes only once no posted message is waiting, so that call is served first.
constexpr UINT kDropSettleMs = 50;

// Drops taken but not yet opened, in the order they came. Held here, not in a message: any
// program can post any message to the window, so nothing a message carries is taken as a
// pointer. Touched only on the GUI thread.
struct WaitingDrop {
    HWND window;
    std::vector<std::wstring> paths;
};
std::vector<WaitingDrop> g_waitingDrops;

bool LeaveWithWindow(HWND window, std::vector<std::wstring> paths) {
    g_waitingDrops.push_back(WaitingDrop{window, std::move(paths)});
    if (SetTimer(window, kFileDropTimer, kDropSettleMs, nullptr)) return true;
    g_waitingDrops.pop_back();
    return false;
}

void ForgetDropsOf(HWND window) {
    auto& waiting = g_waitingDrops;
    for (size_t i = waiting.size(); i-- > 0;)
        if (waiting[i].window == window) waiting.erase(waiting.begin() + static_cast<ptrdiff_t>(i));
}

// COM objects are destroyed by their own Release, never through the interface.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif
class FileDropTarget final : public IDropTarget {
public:
    explicit FileDropTarget(HWND window) : window_(window) {}
    FileDropTarget(const FileDropTarget&) = delete;
    FileDropTarget& operator=(const FileDropTarget&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (riid != IID_IUnknown && riid != IID_IDropTarget) return E_NOINTERFACE;
        *out = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return refs_.Add(); }
    ULONG STDMETHODCALLTYPE Release() override { return refs_.Release(this); }

    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
        offered_ = OffersFiles(data);
        return Answer(effect);
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override {
        return Answer(effect);
    }
    HRESULT STDMETHODCALLTYPE DragLeave() override {
        offered_ = false;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
        // The data at the drop is what counts, whatever was seen on entering.
        offered_ = OffersFiles(data);
        const bool copy = Copies(effect);
        offered_ = false;
        if (!effect) return E_INVALIDARG;
        std::vector<std::wstring> paths;
        if (copy) paths = FileListOf(data);
        *effect = !paths.empty() && LeaveWithWindow(window_, std::move(paths)) ? DROPEFFECT_COPY
                                                                               : DROPEFFECT_NONE;
        return S_OK;
    }

private:
    friend class ::RefCount;
    ~FileDropTarget() = default;

    bool Copies(const DWORD* effect) const {
        return effect && (*effect & DROPEFFECT_COPY) && offered_ && WindowTakesFileDrop(window_);
    }
    HRESULT Answer(DWORD* effect) const {
        if (!effect) return E_INVALIDARG;
        *effect = Copies(effect) ? DROPEFFECT_COPY : DROPEFFECT_NONE;
        return S_OK;
    }

    RefCount refs_;
    HWND window_;
    bool offered_ = false;  // the drag over the window offers a file list
};
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

}  // namespace

std::wstring FileToOpen(const std::vector<std::wstring>& paths) {
    for (const std::wstring& path : paths) {
        const DWORD attributes = GetFileAttributesW(path.c_str());
        // A path that is gone is still a file: it reads as nothing, as from the dialog.
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            return path;
    }
    return std::wstring();
}

void RegisterFileDrop(HWND window) {
    const OwnedCom<FileDropTarget> target(new FileDropTarget(window));
    RegisterDragDrop(window, target.Get());
}

void RevokeFileDrop(HWND window) {
    RevokeDragDrop(window);
    // Drops the window has not opened yet go with it.
    KillTimer(window, kFileDropTimer);
    ForgetDropsOf(window);
}

void OpenWaitingDrops(HWND window) {
    KillTimer(window, kFileDropTimer);
    std::vector<std::vector<std::wstring>> drops;
    for (WaitingDrop& drop : g_waitingDrops)
        if (drop.window == window) drops.push_back(std::move(drop.paths));
    ForgetDropsOf(window);
    for (const std::vector<std::wstring>& paths : drops) {
        // Looked at only now, with the drag source gone: the file system may take its time.
        const std::wstring file = FileToOpen(paths);
        if (!file.empty()) DeliverFileDrop(window, file);
    }
}

void TakeDroppedFiles(HWND window, HDROP drop) {
    const std::wstring file = FileToOpen(PathsOf(reinterpret_cast<HGLOBAL>(drop)));
    // The handle is the sender's to give and ours to free, through the shell as documented.
    using Finish = void(WINAPI*)(HDROP);
    static const auto finish = SystemFunction<Finish>(L"shell32.dll", "DragFinish");
    if (finish && drop) finish(drop);
    if (!file.empty()) DeliverFileDrop(window, file);
}
