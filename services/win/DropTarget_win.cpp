// The drop target of a program window. It takes CF_HDROP only, shows the copy cursor while
// such a drag is over the window and the window takes files now (no message box or dialog of
// the program is up), and hands the first dropped file to the window layer, which treats it
// as the file chosen in the window's file dialog.
#include "DropTarget_win.h"

#include <ole2.h>
#include <shlobj.h>

#include <cstdint>
#include <cstring>

#include "Handles_win.h"
#include "LiveWindows_win.h"
#include "SystemLibrary_win.h"

namespace {

// Every path of a file list (the memory of CF_HDROP and of WM_DROPFILES's handle), in the
// order of the drop. The list comes from another program, so it is read as hostile: the
// header's offset and every path must lie inside the memory the handle holds, and a path
// without its terminator ends the list there.
//
//   +0 DWORD offset of the first path   +4 POINT   +12 BOOL   +16 BOOL wide paths
//   then paths, each ending in a 0 character, and one more 0 after the last.
std::vector<std::wstring> PathsOf(HGLOBAL list) {
    std::vector<std::wstring> paths;
    const GlobalLocked memory(list);
    const auto* base = static_cast<const uint8_t*>(memory.Get());
    const SIZE_T size = memory.Size();
    if (!base) return paths;
    DROPFILES header{};
    if (size >= sizeof header) {
        std::memcpy(&header, base, sizeof header);
        const size_t start = header.pFiles;
        if (start >= sizeof header && start <= size) {
            const uint8_t* at = base + start;
            size_t left = size - start;
            const size_t unit = header.fWide ? sizeof(wchar_t) : 1;
            for (;;) {
                size_t length = 0;  // in units, up to the terminator
                bool ended = false;
                for (; (length + 1) * unit <= left; ++length) {
                    const uint8_t* c = at + length * unit;
                    if (c[0] == 0 && (unit == 1 || c[1] == 0)) {
                        ended = true;
                        break;
                    }
                }
                if (!ended || length == 0) break;
                std::wstring path;
                if (header.fWide) {
                    path.resize(length);
                    std::memcpy(&path[0], at, length * unit);
                } else {
                    const int chars =
                        MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(at),
                                            static_cast<int>(length), nullptr, 0);
                    if (chars > 0) {
                        path.resize(static_cast<size_t>(chars));
                        MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(at),
                                            static_cast<int>(length), &path[0], chars);
                    }
                }
                paths.push_back(std::move(path));
                at += (length + 1) * unit;
                left -= (length + 1) * unit;
            }
        }
    }
    return paths;
}

// The file a data object would open; empty when it carries no files or only folders.
std::wstring FileOf(IDataObject* data) {
    if (!data) return std::wstring();
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (FAILED(data->GetData(&format, &medium))) return std::wstring();
    std::wstring file;
    if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal) {
        file = FileToOpen(PathsOf(medium.hGlobal));
    }
    ReleaseStgMedium(&medium);
    return file;
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
    ULONG STDMETHODCALLTYPE AddRef() override {
        return static_cast<ULONG>(InterlockedIncrement(&refs_));
    }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
        file_ = FileOf(data);
        return Answer(effect);
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override {
        return Answer(effect);
    }
    HRESULT STDMETHODCALLTYPE DragLeave() override {
        file_.clear();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
        // The data at the drop is what counts, whatever was seen on entering.
        file_ = FileOf(data);
        const bool copy = Copies(effect);
        const std::wstring file = file_;
        file_.clear();
        if (effect)
            *effect = copy && DeliverFileDrop(window_, file) ? DROPEFFECT_COPY : DROPEFFECT_NONE;
        return S_OK;
    }

private:
    ~FileDropTarget() = default;

    bool Copies(const DWORD* effect) const {
        return effect && (*effect & DROPEFFECT_COPY) && !file_.empty() &&
               WindowTakesFileDrop(window_);
    }
    HRESULT Answer(DWORD* effect) const {
        if (!effect) return E_INVALIDARG;
        *effect = Copies(effect) ? DROPEFFECT_COPY : DROPEFFECT_NONE;
        return S_OK;
    }

    LONG refs_ = 1;
    HWND window_;
    std::wstring file_;
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
}

void TakeDroppedFiles(HWND window, HDROP drop) {
    const std::wstring file = FileToOpen(PathsOf(reinterpret_cast<HGLOBAL>(drop)));
    // The handle is the sender's to give and ours to free, through the shell as documented.
    using Finish = void(WINAPI*)(HDROP);
    static const auto finish = SystemFunction<Finish>(L"shell32.dll", "DragFinish");
    if (finish && drop) finish(drop);
    if (!file.empty()) DeliverFileDrop(window, file);
}
