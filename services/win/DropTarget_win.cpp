// The drop target of a program window. It takes CF_HDROP only, shows the copy cursor while
// such a drag is over the window and the window takes files now (no message box or dialog of
// the program is up), and hands the first dropped file to the window layer, which treats it
// as the file chosen in the window's file dialog. shell32.dll, which reads the file list, is
// loaded when a drag first comes over the window.
#include "DropTarget_win.h"

#include <ole2.h>

#include "ServiceState_win.h"
#include "SystemLibrary_win.h"

namespace {

// Every path of a drop handle, in the order of the drop.
std::vector<std::wstring> PathsOf(HDROP drop) {
    using QueryFile = UINT(WINAPI*)(HDROP, UINT, wchar_t*, UINT);
    static const auto queryFile = SystemFunction<QueryFile>(L"shell32.dll", "DragQueryFileW");
    std::vector<std::wstring> paths;
    if (!queryFile || !drop) return paths;
    const UINT count = queryFile(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = queryFile(drop, i, nullptr, 0);
        if (length == 0) continue;
        std::wstring path(static_cast<size_t>(length) + 1, L'\0');
        const UINT got = queryFile(drop, i, &path[0], length + 1);
        path.resize(got <= length ? got : length);
        paths.push_back(std::move(path));
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
        // The list is read from the memory as it is; DragQueryFileW checks its layout.
        file = FileToOpen(PathsOf(static_cast<HDROP>(medium.hGlobal)));
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
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
        file_ = FileOf(data);
        return Answer(effect);
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override { return Answer(effect); }
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
        if (effect) *effect = copy && DeliverFileDrop(window_, file) ? DROPEFFECT_COPY : DROPEFFECT_NONE;
        return S_OK;
    }

private:
    ~FileDropTarget() = default;

    bool Copies(const DWORD* effect) const {
        return effect && (*effect & DROPEFFECT_COPY) && !file_.empty() && WindowTakesFileDrop(window_);
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
    auto* target = new FileDropTarget(window);
    RegisterDragDrop(window, target);
    target->Release();
}

void RevokeFileDrop(HWND window) { RevokeDragDrop(window); }

void TakeDroppedFiles(HWND window, HDROP drop) {
    const std::wstring file = FileToOpen(PathsOf(drop));
    using Finish = void(WINAPI*)(HDROP);
    static const auto finish = SystemFunction<Finish>(L"shell32.dll", "DragFinish");
    if (finish && drop) finish(drop);
    if (!file.empty()) DeliverFileDrop(window, file);
}
