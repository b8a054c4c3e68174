// The picture box: keeps a copy of the picture's bytes and the decoded picture, paints it in
// its display mode, and plays animated GIF and WebP pictures on a worker thread of its own.
//
// Decoded pixels live in a 32-bit top-down DIB section that the decoder writes straight into,
// so a repaint only stretches what is already there. Pictures with alpha are blended onto the
// background once per background colour and the result is kept beside them.
#include "PictureBox_win.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "Accessibility_win.h"
#include "Codepage_win.h"
#include "Gif.h"
#include "Handles_win.h"
#include "LiveWindows_win.h"
#include "Picture.h"
#include "PictureDisplay.h"
#include "Webp.h"
#include "WindowDescription.h"

const wchar_t kPictureBoxClass[] = L"OrvessaPicBox";

namespace {

constexpr DWORD kIconVersion = 0x00030000;

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
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
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

// Enough to tell two composed screens apart: a 64-bit multiply-xorshift over 8-byte words.
uint64_t HashPixels(const uint8_t* p, size_t n) {
    uint64_t h = 0x9E3779B97F4A7C15ull ^ n;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t v;
        std::memcpy(&v, p + i, 8);
        h = (h ^ v) * 0xFF51AFD7ED558CCDull;
        h ^= h >> 32;
    }
    for (; i < n; ++i) h = (h ^ p[i]) * 0x100000001B3ull;
    return h;
}

// Scaled frames kept for replaying an animation, at most.
constexpr size_t kMaxAnimationCacheBytes = size_t{32} << 20;
constexpr size_t kMaxAnimationSteps = 65536;

// Stretches a DIB onto a rectangle of a DC, smoothing when the screen has the colours for it.
void StretchDib(HDC dc, const Dib& dib, const PlacedRect& to) {
    if (!dib.bitmap || to.width <= 0 || to.height <= 0) return;
    const bool deep = GetDeviceCaps(WindowDc(nullptr).Get(), BITSPIXEL) > 16;
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

}  // namespace

class PictureBox {
public:
    PictureBox(HWND hwnd, const ControlDescription* desc) : hwnd_(hwnd), desc_(desc) {}
    ~PictureBox() { StopAnimation(); }
    PictureBox(const PictureBox&) = delete;
    PictureBox& operator=(const PictureBox&) = delete;

    void Set(const Bytes& bytes);
    void Paint(HDC dc);
    // What the box shows, in words (code page 936).
    std::string Describe() const {
        return DescribePicture(decoded_ ? kind_ : PictureKind::None, width_, height_,
                               animation_ != nullptr);
    }
    void StopAnimation();
    void Resized();

private:
    enum class State : LONG { Running, StopRequested, Stopped };

    int32_t DisplayMode() const { return desc_ ? desc_->picture.displayMode : 0; }
    bool Animate() const { return desc_ ? desc_->picture.animate : true; }
    COLORREF Background() const {
        return ResolveColor(desc_ ? desc_->picture.background : kSystemButtonFace);
    }
    void Discard();
    void ForgetKeptFrames();
    bool Decode(PictureKind kind);
    bool DecodeIcon();
    bool StartAnimationOf(std::unique_ptr<PictureAnimation> animation);
    void DrawBitmap(HDC dc, const RECT& client);
    void DrawScreen(HDC dc);
    void StartAnimation();
    static DWORD WINAPI AnimationThread(LPVOID self);
    void RunAnimation();
    bool WaitFrame(DWORD shownAt, int32_t delayMs);
    void RecordStep(bool frame, int32_t delayMs);
    void ShowCurrent();

    // One step of a pass through an animation. Once a pass composes exactly the screens
    // of the pass before it, the animation has settled into a cycle, and it is replayed from
    // these steps without decoding again.
    struct AnimationStep {
        bool frame = false;
        int32_t delayMs = 0;
        uint64_t screenHash = 0;
        std::unique_ptr<Dib> drawn;  // the composed screen at its drawn size
    };
    static bool SamePass(const std::vector<AnimationStep>& a, const std::vector<AnimationStep>& b);

    HWND hwnd_;
    const ControlDescription* desc_;
    Bytes data_;
    PictureKind kind_ = PictureKind::None;
    bool decoded_ = false;
    int32_t width_ = 0;
    int32_t height_ = 0;
    Dib picture_;
    bool hasAlpha_ = false;
    Dib blended_;
    COLORREF blendedFor_ = 0;
    Dib scaled_;  // the picture at its drawn size, when that is smaller
    OwnedIcon icon_;

    // Animation: the composed screen is shared with the worker under lock_.
    std::unique_ptr<PictureAnimation> animation_;
    Dib screen_;
    int32_t screenDelayMs_ = 0;  // the delay of the frame composed in screen_
    CriticalSection lock_;
    OwnedThread thread_;
    OwnedEvent wake_;  // set to cut a wait short when a stop is requested
    volatile LONG state_ = static_cast<LONG>(State::Stopped);
    // Kept by the worker; current_ (the frame on screen, at its drawn size) is read by
    // painting under lock_.
    std::vector<AnimationStep> pass_;
    std::vector<AnimationStep> previousPass_;
    size_t cacheBytes_ = 0;
    bool caching_ = true;
    bool replaying_ = false;
    size_t replayAt_ = 0;
    const Dib* current_ = nullptr;
};

void PictureBox::ForgetKeptFrames() {
    current_ = nullptr;
    pass_.clear();
    previousPass_.clear();
    cacheBytes_ = 0;
    caching_ = true;
    replaying_ = false;
    replayAt_ = 0;
}

void PictureBox::Resized() {
    StopAnimation();
    ForgetKeptFrames();
    scaled_.Clear();
}

void PictureBox::Discard() {
    ForgetKeptFrames();
    animation_.reset();
    screen_.Clear();
    picture_.Clear();
    blended_.Clear();
    scaled_.Clear();
    icon_.Reset();
    decoded_ = false;
    hasAlpha_ = false;
    width_ = height_ = 0;
    kind_ = PictureKind::None;
}

void PictureBox::Set(const Bytes& bytes) {
    // A copy that cannot be had leaves the box blank rather than ending the program.
    Bytes copy = Bytes::TryAllocate(bytes.size());
    if (!copy.empty()) std::memcpy(copy.data(), bytes.data(), static_cast<size_t>(bytes.size()));
    StopAnimation();
    Discard();
    data_ = std::move(copy);
    if (!data_.empty()) {
        const PictureKind kind = RecognizePicture(data_.data(), static_cast<size_t>(data_.size()));
        if (kind != PictureKind::None && Decode(kind)) {
            kind_ = kind;
            decoded_ = true;
        } else {
            Discard();
        }
    }
    InvalidateRect(hwnd_, nullptr, TRUE);
    NotifyPictureChanged(hwnd_);
}

bool PictureBox::Decode(PictureKind kind) {
    const uint8_t* p = data_.data();
    const auto n = static_cast<size_t>(data_.size());
    DibSink sink(picture_);
    ImageInfo info;
    bool ok = false;
    switch (kind) {
    case PictureKind::Bmp: ok = DecodeBmp(p, n, sink, &info); break;
    case PictureKind::Jpeg: ok = DecodeJpeg(p, n, sink, &info); break;
    case PictureKind::Png: ok = DecodePng(p, n, sink, &info); break;
    case PictureKind::Pcx8:
    case PictureKind::Pcx1: ok = DecodePcx(p, n, sink, &info); break;
    case PictureKind::Ico:
    case PictureKind::Cur: return DecodeIcon();
    case PictureKind::Gif: {
        if (Animate()) {
            auto gif = std::make_unique<GifAnimation>();
            if (!gif->Open(p, n)) return false;
            if (!gif->IsStill()) return StartAnimationOf(std::move(gif));
        }
        ok = DecodeGifFirstFrame(p, n, sink, &info);
        break;
    }
    case PictureKind::Webp: {
        // Open refuses a still WebP, which is decoded as a picture.
        auto webp = std::make_unique<WebpAnimation>();
        if (Animate() && webp->Open(p, n) && !webp->IsStill())
            return StartAnimationOf(std::move(webp));
        ok = DecodeWebp(p, n, sink, &info);
        break;
    }
    case PictureKind::None: return false;
    }
    if (!ok) return false;
    width_ = info.width;
    height_ = info.height;
    hasAlpha_ = info.hasAlpha;
    return true;
}

// Composes the first frame onto a screen of the animation's size; the worker plays the rest
// once the box is painted.
bool PictureBox::StartAnimationOf(std::unique_ptr<PictureAnimation> animation) {
    if (!screen_.Create(animation->Width(), animation->Height())) return false;
    const COLORREF bg = Background();
    const uint32_t bgra = 0xFF000000u | (uint32_t{GetRValue(bg)} << 16) |
                          (uint32_t{GetGValue(bg)} << 8) | GetBValue(bg);
    if (!animation->Start(screen_.bits, bgra, &screenDelayMs_)) return false;
    width_ = animation->Width();
    height_ = animation->Height();
    animation_ = std::move(animation);
    return true;
}

bool PictureBox::DecodeIcon() {
    IconEntryChoice entry;
    if (!ChooseIconEntry(data_.data(), static_cast<size_t>(data_.size()), &entry)) return false;
    PBYTE image = data_.data() + entry.offset;
    icon_.Reset(CreateIconFromResourceEx(image, entry.size, TRUE, kIconVersion, entry.width,
                                         entry.height, LR_DEFAULTCOLOR));
    if (!icon_ && entry.bitCount != 16 && !entry.isPng)
        icon_.Reset(CreateIconFromResource(image, entry.size, TRUE, kIconVersion));
    if (!icon_) return false;
    width_ = entry.width;
    height_ = entry.height;
    return true;
}

void PictureBox::Paint(HDC dc) {
    RECT client;
    GetClientRect(hwnd_, &client);
    const OwnedBrush background(CreateSolidBrush(Background()));
    FillRect(dc, &client, background.Get());
    if (!decoded_) return;

    if (animation_) {
        DrawScreen(dc);
        if (state_ == static_cast<LONG>(State::Stopped) && !thread_) StartAnimation();
        return;
    }
    const PlacedRect to = PlacePicture(DisplayMode(), client.right, client.bottom, width_, height_);
    if (icon_) {
        DrawIconEx(dc, to.x, to.y, icon_.Get(), to.width, to.height, 0, nullptr, DI_NORMAL);
        return;
    }
    DrawBitmap(dc, client);
}

void PictureBox::DrawBitmap(HDC dc, const RECT& client) {
    const PlacedRect to = PlacePicture(DisplayMode(), client.right, client.bottom, width_, height_);
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

void PictureBox::DrawScreen(HDC dc) {
    RECT client;
    GetClientRect(hwnd_, &client);
    const PlacedRect to = PlacePicture(DisplayMode(), client.right, client.bottom, width_, height_);
    const Locked locked(lock_);
    StretchDib(dc, current_ ? *current_ : screen_, to);
}

void PictureBox::StartAnimation() {
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
    state_ = static_cast<LONG>(State::Stopped);
}

DWORD WINAPI PictureBox::AnimationThread(LPVOID self) {
    static_cast<PictureBox*>(self)->RunAnimation();
    return 0;
}

bool PictureBox::SamePass(const std::vector<AnimationStep>& a,
                          const std::vector<AnimationStep>& b) {
    if (a.empty() || a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].frame != b[i].frame || a[i].delayMs != b[i].delayMs ||
            a[i].screenHash != b[i].screenHash)
            return false;
    }
    return true;
}

// Waits out a frame's delay from when it was shown. False when a stop was requested, which
// also cuts the wait short.
bool PictureBox::WaitFrame(DWORD shownAt, int32_t delayMs) {
    for (;;) {
        if (state_ != static_cast<LONG>(State::Running)) return false;
        const DWORD elapsed = GetTickCount() - shownAt;
        if (elapsed >= static_cast<DWORD>(delayMs)) return true;
        WaitForSingleObject(wake_.Get(), static_cast<DWORD>(delayMs) - elapsed);
    }
}

// Notes a step of the current pass; for a frame, also its screen scaled to the drawn size.
void PictureBox::RecordStep(bool frame, int32_t delayMs) {
    AnimationStep step;
    step.frame = frame;
    step.delayMs = delayMs;
    if (pass_.size() >= kMaxAnimationSteps) caching_ = false;
    if (frame && caching_) {
        step.screenHash = HashPixels(screen_.bits, screen_.PixelCount() * 4);
        RECT client;
        GetClientRect(hwnd_, &client);
        const PlacedRect to =
            PlacePicture(DisplayMode(), client.right, client.bottom, width_, height_);
        const int32_t w = std::max(to.width, 1);
        const int32_t h = std::max(to.height, 1);
        const size_t bytes = static_cast<size_t>(w) * static_cast<size_t>(h) * 4;
        auto drawn = std::make_unique<Dib>();
        if (cacheBytes_ + bytes <= kMaxAnimationCacheBytes && ScaleInto(*drawn, screen_, w, h)) {
            cacheBytes_ += bytes;
            step.drawn = std::move(drawn);
        } else {
            // Too many or too large frames to keep: play this picture by decoding every step.
            caching_ = false;
        }
    }
    const Locked locked(lock_);
    current_ = step.drawn.get();
    pass_.push_back(std::move(step));
    if (!caching_) {
        current_ = nullptr;
        pass_.clear();
        previousPass_.clear();
    }
}

void PictureBox::ShowCurrent() {
    const WindowDc dc(hwnd_);
    if (dc) DrawScreen(dc.Get());
}

void PictureBox::RunAnimation() {
    // The frame in screen_ (the first, or where a resize paused the animation) opens a pass.
    int32_t delayMs = screenDelayMs_;
    DWORD shownAt = GetTickCount();
    uint32_t passes = animation_->Passes();
    RecordStep(true, delayMs);
    for (;;) {
        if (!WaitFrame(shownAt, delayMs)) break;
        shownAt = GetTickCount();
        if (replaying_) {
            const AnimationStep& step = previousPass_[replayAt_];
            replayAt_ = (replayAt_ + 1) % previousPass_.size();
            delayMs = step.delayMs;
            if (step.frame) {
                {
                    const Locked locked(lock_);
                    current_ = step.drawn.get();
                }
                ShowCurrent();
            }
            continue;
        }
        PictureAnimation::Step step = PictureAnimation::Step::NoFrame;
        {
            const Locked locked(lock_);
            step = animation_->Next(screen_.bits, &delayMs);
            screenDelayMs_ = delayMs;
        }
        const bool frame = step == PictureAnimation::Step::Frame;
        if (caching_ && animation_->Passes() != passes) {
            // A new pass begins with this step. If the pass just ended repeats the one
            // before it, every later pass will too.
            passes = animation_->Passes();
            {
                const Locked locked(lock_);
                if (SamePass(pass_, previousPass_)) {
                    replaying_ = true;
                    replayAt_ = 1 % previousPass_.size();
                    pass_.clear();
                    const AnimationStep& first = previousPass_[0];
                    if (first.frame) current_ = first.drawn.get();
                    delayMs = first.delayMs;
                } else {
                    previousPass_.swap(pass_);
                    for (const AnimationStep& old : pass_)
                        if (old.drawn)
                            cacheBytes_ -= static_cast<size_t>(old.drawn->width) *
                                           static_cast<size_t>(old.drawn->height) * 4;
                    pass_.clear();
                }
            }
            if (replaying_) {
                if (previousPass_[0].frame) ShowCurrent();
                continue;
            }
        }
        if (caching_) RecordStep(frame, delayMs);
        if (frame) ShowCurrent();
    }
    InterlockedExchange(&state_, static_cast<LONG>(State::Stopped));
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
        if (box) box->Resized();
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

void SetPicture(const WindowDescription& window, const char* control, const Bytes& data) {
    const LiveControl& c = ControlForWrite(window, control);
    if (c.picture) c.picture->Set(data);
}
