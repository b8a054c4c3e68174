// The picture box: keeps a copy of the picture's bytes and the decoded picture, paints it in
// its display mode, and plays animated GIF and WebP pictures on a worker thread of its own.
//
// Decoded pixels live in a 32-bit top-down DIB section that the decoder writes straight into,
// so a repaint only stretches what is already there. Pictures with alpha are blended onto the
// background once per background colour and the result is kept beside them.
//
// An animation is played by the portable AnimationPlayer; this file gives it the clock, the
// waits, the lock, the scaling and the drawing. Its screen and kept frames are plain memory,
// drawn with StretchDIBits and SetDIBitsToDevice, so a playing animation holds the same few GDI
// objects (the worker's scaling DC and bitmap) whatever its frame count, and no bitmap is ever
// selected into two DCs. It plays only while it can be seen: the worker ends when the window is
// minimized or hidden, which gives back the timer resolution it may have raised, and the next
// paint starts it again from the frame on show. A paint on another background (a colour
// change) first recomposes the frame on show on it.
#include "PictureBox_win.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "Accessibility_win.h"
#include "AnimationClock_win.h"
#include "AnimationPlayer.h"
#include "Codepage_win.h"
#include "Colors_win.h"
#include "DecodePicture.h"
#include "Handles_win.h"
#include "LiveWindows_win.h"
#include "Picture.h"
#include "PictureBox.h"
#include "WaitCursor_win.h"
#include "WindowDescription.h"

const wchar_t kPictureBoxClass[] = L"OrvessaPicBox";

namespace {

constexpr DWORD kIconVersion = 0x00030000;

// The header of 32-bit top-down pixels, the one layout every picture here has.
BITMAPINFO TopDownInfo(int32_t width, int32_t height) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    return bi;
}

// A 32-bit top-down DIB section; the decoder's pixels go straight into its bits. The bitmap is
// owned: a Dib dropped anywhere (a replaced pass, a cleared cache) deletes it.
struct Dib {
    OwnedBitmap bitmap;
    uint8_t* bits = nullptr;
    int32_t width = 0;
    int32_t height = 0;

    Dib() = default;
    Dib(const Dib&) = delete;
    Dib& operator=(const Dib&) = delete;

    bool Create(int32_t w, int32_t h) {
        Clear();
        const BITMAPINFO bi = TopDownInfo(w, h);
        void* p = nullptr;
        bitmap.Reset(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &p, nullptr, 0));
        if (!bitmap) return false;
        bits = static_cast<uint8_t*>(p);
        width = w;
        height = h;
        return true;
    }
    void Clear() {
        bitmap.Reset();
        bits = nullptr;
        width = height = 0;
    }
    // Takes over another's bitmap, leaving it empty.
    void Take(Dib& other) {
        bitmap = std::move(other.bitmap);
        bits = other.bits;
        width = other.width;
        height = other.height;
        other.Clear();
    }
    size_t PixelCount() const { return static_cast<size_t>(width) * static_cast<size_t>(height); }
};

class DibSink final : public PixelSink {
public:
    explicit DibSink(Dib& dib) : dib_(dib) {}
    uint8_t* Allocate(int32_t width, int32_t height) override {
        return dib_.Create(width, height) ? dib_.bits : nullptr;
    }

private:
    Dib& dib_;
};

// Whether stretching may smooth: the screen has the colours for HALFTONE.
bool DeepScreen() {
    return GetDeviceCaps(WindowDc(nullptr).Get(), BITSPIXEL) > 16;
}

// Stretches a DIB onto a rectangle of a DC, smoothing when the screen has the colours for it.
void StretchDib(HDC dc, const Dib& dib, const PlacedRect& to) {
    if (!dib.bitmap || to.width <= 0 || to.height <= 0) return;
    const bool deep = DeepScreen();
    const OwnedMemoryDc source(CreateCompatibleDC(dc));
    if (!source) return;
    const SelectedObject selected(source.Get(), dib.bitmap.Get());
    const int previousMode = SetStretchBltMode(dc, deep ? HALFTONE : COLORONCOLOR);
    POINT origin;
    if (deep) SetBrushOrgEx(dc, 0, 0, &origin);
    StretchBlt(dc, to.x, to.y, to.width, to.height, source.Get(), 0, 0, dib.width, dib.height,
               SRCCOPY);
    if (deep) SetBrushOrgEx(dc, origin.x, origin.y, nullptr);
    SetStretchBltMode(dc, previousMode);
}

// Makes `target` a copy of `source` scaled to width x height. False when no bitmap can be had.
bool ScaleInto(Dib& target, const Dib& source, int32_t width, int32_t height) {
    if (!target.Create(width, height)) return false;
    const OwnedMemoryDc dc(CreateCompatibleDC(WindowDc(nullptr).Get()));
    if (!dc) {
        target.Clear();
        return false;
    }
    const SelectedObject selected(dc.Get(), target.bitmap.Get());
    StretchDib(dc.Get(), source, PlacedRect{0, 0, width, height});
    return true;
}

// Stretches 32-bit top-down pixels in plain memory onto a rectangle of a DC.
void StretchPixels(HDC dc, const uint8_t* pixels, int32_t width, int32_t height,
                   const PlacedRect& to, bool deep) {
    if (!pixels || to.width <= 0 || to.height <= 0) return;
    const BITMAPINFO bi = TopDownInfo(width, height);
    const int previousMode = SetStretchBltMode(dc, deep ? HALFTONE : COLORONCOLOR);
    POINT origin;
    if (deep) SetBrushOrgEx(dc, 0, 0, &origin);
    StretchDIBits(dc, to.x, to.y, to.width, to.height, 0, 0, width, height, pixels, &bi,
                  DIB_RGB_COLORS, SRCCOPY);
    if (deep) SetBrushOrgEx(dc, origin.x, origin.y, nullptr);
    SetStretchBltMode(dc, previousMode);
}

}  // namespace

class PictureBox {
public:
    PictureBox(HWND hwnd, const ControlDescription* desc)
        : hwnd_(hwnd), desc_(desc), host_(*this) {}
    ~PictureBox() { StopAnimation(); }
    PictureBox(const PictureBox&) = delete;
    PictureBox& operator=(const PictureBox&) = delete;

    // Keeps the bytes given and shows the picture in them.
    void Set(Bytes&& bytes);
    void Paint(HDC dc);
    // What the box shows, in words (code page 936).
    std::string Describe() const {
        return DescribePicture(decoded_ ? kind_ : PictureKind::None, width_, height_,
                               player_ != nullptr);
    }
    void StopAnimation();
    void Resized();
    void Refit();

private:
    enum class State : LONG { Running, StopRequested, Stopped };

    // What the player asks of the box, on the worker thread.
    class PlayerHost final : public AnimationHost {
    public:
        explicit PlayerHost(PictureBox& box) : box_(box) {}
        int64_t NowUs() override { return box_.clock_->NowUs(); }
        void WaitUs(int64_t us) override { box_.clock_->Wait(box_.wake_.Get(), us); }
        bool StopRequested() override { return box_.state_ != static_cast<LONG>(State::Running); }
        void Lock() override { box_.lock_.Enter(); }
        void Unlock() override { box_.lock_.Leave(); }
        bool Scale(const uint8_t* screen, int32_t sw, int32_t sh, uint8_t* out, int32_t w,
                   int32_t h) override;
        void Show() override { box_.ShowCurrent(); }
        bool Seen() override {
            return IsWindowVisible(box_.hwnd_) && !IsIconic(GetAncestor(box_.hwnd_, GA_ROOT));
        }
        // The worker's scaling DC and bitmap, made at its first frame and gone when it ends.
        void Release() {
            scaleDc_.Reset();
            scaled_.Clear();
        }

    private:
        PictureBox& box_;
        OwnedMemoryDc scaleDc_;
        Dib scaled_;
    };

    int32_t DisplayMode() const { return desc_ ? desc_->picture.displayMode : 0; }
    bool Animate() const { return desc_ ? desc_->picture.animate : true; }
    COLORREF Background() const {
        return PictureBackground(hwnd_, desc_ ? desc_->picture.background : kSystemButtonFace);
    }
    PlacedRect Placement() const;
    void Discard();
    DrawTarget Target() const;
    bool Decode(bool animate);
    bool MakeIcon(const IconEntryChoice& entry);
    bool StartPlayer(std::unique_ptr<PictureAnimation> animation);
    void FollowBackground(COLORREF background);
    void DrawBitmap(HDC dc, const PlacedRect& to);
    void DrawScreen(HDC dc);
    void StartAnimation();
    static DWORD WINAPI AnimationThread(LPVOID self);
    void ShowCurrent();

    HWND hwnd_;
    const ControlDescription* desc_;
    Bytes data_;
    PictureKind kind_ = PictureKind::None;
    bool decoded_ = false;
    int32_t width_ = 0;
    int32_t height_ = 0;
    Dib picture_;
    bool reduced_ = false;  // picture_ is smaller than the natural size, for the size drawn
    bool hasAlpha_ = false;
    Dib blended_;
    COLORREF blendedFor_ = 0;
    Dib scaled_;  // the picture at its drawn size, when that is smaller
    OwnedIcon icon_;

    // Animation: the player's screen and the frame on show are shared with the worker under
    // lock_; everything else of the player is the worker's while it runs.
    std::unique_ptr<AnimationPlayer> player_;
    COLORREF playerBackground_ = 0;  // what the player's screen is composed on
    PlayerHost host_;
    std::unique_ptr<AnimationClock> clock_;
    CriticalSection lock_;
    OwnedThread thread_;
    OwnedEvent wake_;  // set to cut a wait short when a stop is requested
    volatile LONG state_ = static_cast<LONG>(State::Stopped);
};

void PictureBox::Resized() {
    StopAnimation();
    if (player_) player_->Forget();
    scaled_.Clear();
}

// A picture decoded smaller than it is decoded again from the kept bytes once it is no longer
// twice the size drawn (the box grew at a higher DPI); when that cannot be had, the picture
// kept is stretched as it is.
void PictureBox::Refit() {
    if (!decoded_ || !reduced_) return;
    const DrawTarget target = Target();
    if (DecodedSizeServes(target, width_, height_, picture_.width, picture_.height)) return;
    const WaitCursor busy;
    Dib larger;
    DibSink sink(larger);
    DecodedPicture decoded;
    if (!DecodePicture(data_.data(), static_cast<size_t>(data_.size()), false, sink, &decoded,
                       &target) ||
        larger.PixelCount() <= picture_.PixelCount())
        return;
    picture_.Take(larger);
    reduced_ = picture_.width < width_ || picture_.height < height_;
    blended_.Clear();
    scaled_.Clear();
}

void PictureBox::Discard() {
    player_.reset();
    picture_.Clear();
    reduced_ = false;
    blended_.Clear();
    scaled_.Clear();
    icon_.Reset();
    decoded_ = false;
    hasAlpha_ = false;
    width_ = height_ = 0;
    kind_ = PictureKind::None;
}

void PictureBox::Set(Bytes&& bytes) {
    StopAnimation();
    Discard();
    data_ = std::move(bytes);
    if (!data_.empty()) {
        if (Decode(Animate()))
            decoded_ = true;
        else
            Discard();
    }
    InvalidateRect(hwnd_, nullptr, TRUE);
    NotifyPictureChanged(hwnd_);
}

// Where the picture will be drawn: a large JPEG or WebP is decoded for it, not whole.
DrawTarget PictureBox::Target() const {
    RECT client;
    GetClientRect(hwnd_, &client);
    return DrawTarget{DisplayMode(), client.right, client.bottom};
}

bool PictureBox::Decode(bool animate) {
    DibSink sink(picture_);
    DecodedPicture decoded;
    const DrawTarget target = Target();
    if (!DecodePicture(data_.data(), static_cast<size_t>(data_.size()), animate, sink, &decoded,
                       &target))
        return false;
    if (decoded.kind == PictureKind::Ico || decoded.kind == PictureKind::Cur) {
        if (!MakeIcon(decoded.icon)) return false;
    } else if (decoded.animation && !StartPlayer(std::move(decoded.animation))) {
        // An animation that cannot be played (no memory for its screen) shows its first frame.
        return animate && Decode(false);
    }
    kind_ = decoded.kind;
    width_ = decoded.info.width;
    height_ = decoded.info.height;
    hasAlpha_ = decoded.info.hasAlpha;
    reduced_ = picture_.bitmap && (picture_.width < width_ || picture_.height < height_);
    return true;
}

namespace {

uint32_t BgraOf(COLORREF color) {
    return 0xFF000000u | (uint32_t{GetRValue(color)} << 16) | (uint32_t{GetGValue(color)} << 8) |
           GetBValue(color);
}

}  // namespace

// Composes the first frame on the background; the worker plays the rest once the box is painted.
bool PictureBox::StartPlayer(std::unique_ptr<PictureAnimation> animation) {
    auto player = std::make_unique<AnimationPlayer>(std::move(animation));
    const COLORREF bg = Background();
    if (!player->Start(BgraOf(bg))) return false;
    player_ = std::move(player);
    playerBackground_ = bg;
    return true;
}

// The background changed (the system's colours, or their choice): the frame on show is composed
// again on it, and play goes on from there.
void PictureBox::FollowBackground(COLORREF background) {
    if (background == playerBackground_) return;
    StopAnimation();
    player_->Recompose(BgraOf(background));
    playerBackground_ = background;
}

bool PictureBox::MakeIcon(const IconEntryChoice& entry) {
    PBYTE image = data_.data() + entry.offset;
    icon_.Reset(CreateIconFromResourceEx(image, entry.size, TRUE, kIconVersion, entry.width,
                                         entry.height, LR_DEFAULTCOLOR));
    if (!icon_ && entry.bitCount != 16 && !entry.isPng)
        icon_.Reset(CreateIconFromResource(image, entry.size, TRUE, kIconVersion));
    return static_cast<bool>(icon_);
}

void PictureBox::Paint(HDC dc) {
    RECT client;
    GetClientRect(hwnd_, &client);
    const COLORREF color = Background();
    const OwnedBrush background(CreateSolidBrush(color));
    FillRect(dc, &client, background.Get());
    if (!decoded_) return;

    if (player_) {
        FollowBackground(color);
        DrawScreen(dc);
        if (state_ == static_cast<LONG>(State::Stopped)) {
            // A worker that paused itself is let go before the next one starts.
            StopAnimation();
            StartAnimation();
        }
        return;
    }
    const PlacedRect to = Placement();
    if (icon_) {
        DrawIconEx(dc, to.x, to.y, icon_.Get(), to.width, to.height, 0, nullptr, DI_NORMAL);
        return;
    }
    DrawBitmap(dc, to);
}

void PictureBox::DrawBitmap(HDC dc, const PlacedRect& to) {
    if (to.width <= 0 || to.height <= 0) return;
    const Dib* source = &picture_;
    if (hasAlpha_) {
        // Transparency is resolved against the background when drawing; the result is kept
        // until the background colour changes.
        const COLORREF bg = Background();
        if (!blended_.bitmap || blendedFor_ != bg) {
            scaled_.Clear();
            if (!blended_.Create(picture_.width, picture_.height)) return;
            BlendOntoBackground(picture_.bits, blended_.bits, picture_.PixelCount(), GetBValue(bg),
                                GetGValue(bg), GetRValue(bg));
            blendedFor_ = bg;
        }
        source = &blended_;
    }
    // A picture larger than its place is scaled once and the result kept, so a repaint costs
    // the same whatever the picture's size.
    if (source->PixelCount() <= static_cast<size_t>(to.width) * static_cast<size_t>(to.height)) {
        StretchDib(dc, *source, to);
        return;
    }
    if ((!scaled_.bitmap || scaled_.width != to.width || scaled_.height != to.height) &&
        !ScaleInto(scaled_, *source, to.width, to.height)) {
        StretchDib(dc, *source, to);
        return;
    }
    const OwnedMemoryDc cached(CreateCompatibleDC(dc));
    if (!cached) return;
    const SelectedObject selected(cached.Get(), scaled_.bitmap.Get());
    BitBlt(dc, to.x, to.y, to.width, to.height, cached.Get(), 0, 0, SRCCOPY);
}

PlacedRect PictureBox::Placement() const {
    RECT client;
    GetClientRect(hwnd_, &client);
    return PlacePicture(DisplayMode(), client.right, client.bottom, width_, height_);
}

// The kept frame on show is one copy of the box's size; without one, the screen is stretched.
void PictureBox::DrawScreen(HDC dc) {
    const PlacedRect to = Placement();
    if (to.width <= 0 || to.height <= 0) return;
    const bool deep = DeepScreen();
    const Locked locked(lock_);
    const uint8_t* shown = player_->Shown();
    if (shown && player_->DrawnWidth() == to.width && player_->DrawnHeight() == to.height) {
        const BITMAPINFO bi = TopDownInfo(to.width, to.height);
        SetDIBitsToDevice(dc, to.x, to.y, static_cast<DWORD>(to.width),
                          static_cast<DWORD>(to.height), 0, 0, 0, static_cast<UINT>(to.height),
                          shown, &bi, DIB_RGB_COLORS);
        return;
    }
    StretchPixels(dc, player_->Screen(), player_->Width(), player_->Height(), to, deep);
}

bool PictureBox::PlayerHost::Scale(const uint8_t* screen, int32_t sw, int32_t sh, uint8_t* out,
                                   int32_t w, int32_t h) {
    if (!scaleDc_) scaleDc_.Reset(CreateCompatibleDC(nullptr));
    if (!scaleDc_) return false;
    if ((scaled_.width != w || scaled_.height != h) && !scaled_.Create(w, h)) return false;
    {
        const SelectedObject selected(scaleDc_.Get(), scaled_.bitmap.Get());
        StretchPixels(scaleDc_.Get(), screen, sw, sh, PlacedRect{0, 0, w, h}, DeepScreen());
    }
    GdiFlush();
    std::memcpy(out, scaled_.bits, scaled_.PixelCount() * 4);
    return true;
}

void PictureBox::StartAnimation() {
    const PlacedRect to = Placement();
    player_->SetDrawnSize(to.width, to.height);
    clock_ = std::make_unique<AnimationClock>();
    wake_.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!wake_) return;
    state_ = static_cast<LONG>(State::Running);
    thread_.Reset(CreateThread(nullptr, 0, AnimationThread, this, 0, nullptr));
    if (!thread_) {
        state_ = static_cast<LONG>(State::Stopped);
        wake_.Reset();
    }
}

// The handshake: ask the worker to stop, wake it from its wait, and wait until it has.
void PictureBox::StopAnimation() {
    if (!thread_) return;
    InterlockedExchange(&state_, static_cast<LONG>(State::StopRequested));
    SetEvent(wake_.Get());
    WaitForSingleObject(thread_.Get(), INFINITE);
    thread_.Reset();
    wake_.Reset();
    clock_.reset();
    state_ = static_cast<LONG>(State::Stopped);
}

DWORD WINAPI PictureBox::AnimationThread(LPVOID self) {
    PictureBox& box = *static_cast<PictureBox*>(self);
    box.clock_->BeginPlaying();
    box.player_->Run(box.host_);
    box.host_.Release();
    box.clock_->EndPlaying();
    const LONG was = InterlockedExchange(&box.state_, static_cast<LONG>(State::Stopped));
    // Paused, not stopped: a paint that came while the worker was ending found it still
    // running, so the box, if it can be seen again, asks for another.
    if (was == static_cast<LONG>(State::Running) && box.host_.Seen())
        InvalidateRect(box.hwnd_, nullptr, FALSE);
    return 0;
}

void PictureBox::ShowCurrent() {
    const WindowDc dc(hwnd_);
    if (dc) DrawScreen(dc.Get());
}

namespace {

LRESULT CALLBACK PictureBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* box = reinterpret_cast<PictureBox*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (msg) {
    case WM_NCCREATE: {
        const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        box = new PictureBox(hwnd, static_cast<const ControlDescription*>(cs->lpCreateParams));
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(box));
        break;
    }
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        const HDC dc = BeginPaint(hwnd, &ps);
        if (box) box->Paint(dc);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_SIZE:
        if (box) {
            box->Resized();
            box->Refit();
        }
        break;
    case WM_DESTROY:
        if (box) box->StopAnimation();
        break;
    case WM_NCDESTROY:
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        delete box;
        break;
    default: break;
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

void ResetPictureScale(PictureBox& box) {
    box.Resized();
}

std::wstring PictureBoxValue(HWND pictureBox) {
    const PictureBox* box = PictureBoxFromHwnd(pictureBox);
    return WideFromText(box ? box->Describe().c_str()
                            : DescribePicture(PictureKind::None, 0, 0, false).c_str());
}

PictureBox* PictureBoxFromHwnd(HWND hwnd) {
    return reinterpret_cast<PictureBox*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

namespace {

void Show(const WindowDescription& window, const char* control, Bytes&& data) {
    const LiveControl& c = ControlForWrite(window, control);
    if (c.picture) c.picture->Set(std::move(data));
}

}  // namespace

void SetPicture(const WindowDescription& window, const char* control, Bytes&& data) {
    if (data.empty()) return Show(window, control, Bytes());  // clearing takes no time to show
    const WaitCursor busy;
    Show(window, control, std::move(data));
}

void SetPicture(const WindowDescription& window, const char* control, const Bytes& data) {
    if (data.empty()) return Show(window, control, Bytes());
    const WaitCursor busy;  // over the copy too: a large picture's takes a while
    // A copy that cannot be had leaves the box blank rather than ending the program.
    Bytes copy = Bytes::TryAllocate(data.size());
    if (!copy.empty()) std::memcpy(copy.data(), data.data(), static_cast<size_t>(data.size()));
    Show(window, control, std::move(copy));
}
