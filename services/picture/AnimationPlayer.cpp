#include "AnimationPlayer.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "PictureBytes.h"

AnimationHost::~AnimationHost() = default;

namespace {

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

class HostLock {
public:
    explicit HostLock(AnimationHost& host) : host_(host) { host_.Lock(); }
    ~HostLock() { host_.Unlock(); }
    HostLock(const HostLock&) = delete;
    HostLock& operator=(const HostLock&) = delete;

private:
    AnimationHost& host_;
};

}  // namespace

// One step of a pass through the animation.
struct AnimationPlayer::Step {
    bool frame = false;
    int32_t delayMs = 0;
    uint64_t screenHash = 0;
    std::unique_ptr<uint8_t[]> drawn;  // the composed screen at the drawn size
    size_t drawnBytes = 0;
};

// The steps of one pass, grown without throwing: a step that cannot be added is refused.
class AnimationPlayer::Pass {
public:
    size_t Size() const { return size_; }
    const Step& At(size_t i) const { return steps_[i]; }
    size_t DrawnBytes() const { return drawnBytes_; }

    bool Push(Step&& step) {
        if (size_ == capacity_) {
            const size_t capacity = capacity_ ? capacity_ * 2 : 64;
            std::unique_ptr<Step[]> grown(new (std::nothrow) Step[capacity]);
            if (!grown) return false;
            for (size_t i = 0; i < size_; ++i) grown[i] = std::move(steps_[i]);
            steps_ = std::move(grown);
            capacity_ = capacity;
        }
        drawnBytes_ += step.drawnBytes;
        steps_[size_++] = std::move(step);
        return true;
    }
    void Clear() {
        for (size_t i = 0; i < size_; ++i) steps_[i] = Step{};
        size_ = 0;
        drawnBytes_ = 0;
    }
    bool Same(const Pass& other) const {
        if (size_ == 0 || size_ != other.size_) return false;
        for (size_t i = 0; i < size_; ++i) {
            const Step& a = steps_[i];
            const Step& b = other.steps_[i];
            if (a.frame != b.frame || a.delayMs != b.delayMs || a.screenHash != b.screenHash)
                return false;
        }
        return true;
    }

private:
    std::unique_ptr<Step[]> steps_;
    size_t size_ = 0;
    size_t capacity_ = 0;
    size_t drawnBytes_ = 0;
};

AnimationPlayer::AnimationPlayer(std::unique_ptr<PictureAnimation> animation)
    : animation_(std::move(animation)),
      pass_(std::make_unique<Pass>()),
      previousPass_(std::make_unique<Pass>()) {}

AnimationPlayer::~AnimationPlayer() = default;

// The background is given to the animation with alpha 0, so that it can be recomposed.
bool AnimationPlayer::Start(uint32_t backgroundBgra) {
    uint64_t pixels = 0;
    if (!picture_bytes::PicturePixels(Width(), Height(), &pixels)) return false;
    screen_.reset(new (std::nothrow) uint8_t[static_cast<size_t>(pixels * 4)]);
    return screen_ &&
           animation_->Start(screen_.get(), backgroundBgra & 0x00FFFFFFu, &screenDelayMs_);
}

void AnimationPlayer::Recompose(uint32_t backgroundBgra) {
    Forget();
    animation_->Recompose(screen_.get(), backgroundBgra & 0x00FFFFFFu);
}

void AnimationPlayer::SetDrawnSize(int32_t width, int32_t height) {
    width = std::max(width, 1);
    height = std::max(height, 1);
    if (width == drawnWidth_ && height == drawnHeight_) return;
    Forget();
    drawnWidth_ = width;
    drawnHeight_ = height;
}

void AnimationPlayer::Forget() {
    shown_ = nullptr;
    pass_->Clear();
    previousPass_->Clear();
    cacheBytes_ = 0;
    caching_ = true;
    replaying_ = false;
    replayAt_ = 0;
    open_ = false;
}

// Waits out a frame's delay from its noted time. False when a stop was requested.
bool AnimationPlayer::WaitFrame(AnimationHost& host, int64_t notedUs, int32_t delayMs) {
    const int64_t due = notedUs + int64_t{delayMs} * 1000;
    for (;;) {
        if (host.StopRequested()) return false;
        const int64_t left = due - host.NowUs();
        if (left <= 0) return true;
        host.WaitUs(left);
    }
}

// From here on every step is decoded and the screen is drawn; the kept frames go.
void AnimationPlayer::StopCaching(AnimationHost& host) {
    {
        const HostLock locked(host);
        shown_ = nullptr;
    }
    pass_->Clear();
    previousPass_->Clear();
    cacheBytes_ = 0;
    caching_ = false;
}

// Notes a step of the current pass; for a frame, also its screen scaled to the drawn size.
void AnimationPlayer::RecordStep(AnimationHost& host, bool frame, int32_t delayMs) {
    if (pass_->Size() >= kMaxSteps) return StopCaching(host);
    Step step;
    step.frame = frame;
    step.delayMs = delayMs;
    if (frame) {
        const uint64_t bytes =
            uint64_t{static_cast<uint32_t>(drawnWidth_)} * static_cast<uint32_t>(drawnHeight_) * 4;
        // Too many or too large frames to keep: play this picture by decoding every step.
        if (bytes > kMaxCacheBytes - cacheBytes_) return StopCaching(host);
        step.drawn.reset(new (std::nothrow) uint8_t[static_cast<size_t>(bytes)]);
        if (!step.drawn) return StopCaching(host);
        step.drawnBytes = static_cast<size_t>(bytes);
        bool scaled = false;
        {
            const HostLock locked(host);
            const size_t screenBytes =
                static_cast<size_t>(Width()) * static_cast<size_t>(Height()) * 4;
            step.screenHash = HashPixels(screen_.get(), screenBytes);
            scaled = host.Scale(screen_.get(), Width(), Height(), step.drawn.get(), drawnWidth_,
                                drawnHeight_);
        }
        if (!scaled) return StopCaching(host);
    }
    const uint8_t* drawn = step.drawn.get();
    const size_t drawnBytes = step.drawnBytes;
    if (!pass_->Push(std::move(step))) return StopCaching(host);
    cacheBytes_ += drawnBytes;
    if (frame) {
        const HostLock locked(host);
        shown_ = drawn;
    }
}

// Brings the screen up to the frame on show, which then opens a pass. False when a stop came
// first; the steps made so far count.
bool AnimationPlayer::OpenPass(AnimationHost& host, int64_t* notedUs) {
    const bool caughtUp = behind_ > 0;
    for (; behind_ > 0; --behind_) {
        if (host.StopRequested()) return false;
        const HostLock locked(host);
        animation_->Next(screen_.get(), &screenDelayMs_);
    }
    {
        const HostLock locked(host);
        Forget();
    }
    *notedUs = host.NowUs();
    delayMs_ = screenDelayMs_;
    passes_ = animation_->Passes();
    RecordStep(host, true, delayMs_);
    open_ = true;
    if (caughtUp) host.Show();
    return true;
}

void AnimationPlayer::Run(AnimationHost& host) {
    int64_t notedUs = host.NowUs();
    if (!open_ && !OpenPass(host, &notedUs)) return;
    while (WaitFrame(host, notedUs, delayMs_)) {
        // Paused: the frame on show stays, and so does everything kept.
        if (!host.Seen()) return;
        notedUs = host.NowUs();
        if (replaying_) {
            const Step& step = previousPass_->At(replayAt_);
            behind_ = replayAt_;
            replayAt_ = (replayAt_ + 1) % previousPass_->Size();
            delayMs_ = step.delayMs;
            if (step.frame) {
                {
                    const HostLock locked(host);
                    shown_ = step.drawn.get();
                }
                host.Show();
            }
            continue;
        }
        PictureAnimation::Step next = PictureAnimation::Step::NoFrame;
        {
            const HostLock locked(host);
            next = animation_->Next(screen_.get(), &delayMs_);
            screenDelayMs_ = delayMs_;
            // A new frame: until it is kept, the screen is what to draw.
            if (next == PictureAnimation::Step::Frame) shown_ = nullptr;
        }
        const bool frame = next == PictureAnimation::Step::Frame;
        if (caching_ && animation_->Passes() != passes_) {
            // A new pass begins with this step. If the pass just ended repeats the one before
            // it, every later pass will too.
            passes_ = animation_->Passes();
            if (pass_->Same(*previousPass_)) {
                replaying_ = true;
                replayAt_ = 1 % previousPass_->Size();
                behind_ = 0;
                const Step& first = previousPass_->At(0);
                delayMs_ = first.delayMs;
                {
                    // The frame on show may be one of the pass let go here.
                    const HostLock locked(host);
                    shown_ = first.frame ? first.drawn.get() : nullptr;
                    pass_->Clear();
                }
                if (first.frame) host.Show();
                continue;
            }
            std::swap(pass_, previousPass_);
            cacheBytes_ -= pass_->DrawnBytes();
            pass_->Clear();
        }
        if (caching_) RecordStep(host, frame, delayMs_);
        if (frame) host.Show();
    }
}
