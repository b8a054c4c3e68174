#include "PictureBox_win.h"

#include "WindowDescription.h"

const wchar_t kPictureBoxClass[] = L"OrvessaPicBox";

class PictureBox {
public:
    explicit PictureBox(const ControlDescription* desc) : desc_(desc) {}
    const ControlDescription* desc() const { return desc_; }

private:
    const ControlDescription* desc_;
};

namespace {

COLORREF BackgroundOf(const PictureBox* box) {
    const uint32_t c = box && box->desc() ? box->desc()->picture.background : kSystemButtonFace;
    return c == kSystemButtonFace ? GetSysColor(COLOR_BTNFACE) : static_cast<COLORREF>(c);
}

LRESULT CALLBACK PictureBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* box = reinterpret_cast<PictureBox*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (msg) {
    case WM_NCCREATE: {
        const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        box = new PictureBox(static_cast<const ControlDescription*>(cs->lpCreateParams));
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(box));
        break;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        const HDC dc = BeginPaint(hwnd, &ps);
        RECT r;
        GetClientRect(hwnd, &r);
        const HBRUSH brush = CreateSolidBrush(BackgroundOf(box));
        FillRect(dc, &r, brush);
        DeleteObject(brush);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_NCDESTROY:
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        delete box;
        break;
    default:
        break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

void RegisterPictureBoxClass() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = PictureBoxProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.lpszClassName = kPictureBoxClass;
    RegisterClassExW(&wc);
}

PictureBox* PictureBoxFromHwnd(HWND hwnd) {
    return reinterpret_cast<PictureBox*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

#include "PictureDisplay.h"
#include "ServiceState_win.h"

void SetPicture(const WindowDescription& window, const char* control, const Bytes& data) {
    (void)data;
    LiveWindow* w = FindLiveWindow(window);
    if (!w) return;
    for (LiveControl& c : w->controls)
        if (c.hwnd && std::string(c.desc->name) == control) InvalidateRect(c.hwnd, nullptr, TRUE);
}
