// Plays a PictureAnimation on a worker thread of the caller's: composes each frame, keeps it
// scaled to the drawn size while the passes still change, and once a pass composes exactly the
// screens of the pass before it, replays the kept frames without decoding again.
//
// Portable on purpose: the platform supplies the clock, the wait, the lock, the scaling and
// the drawing through AnimationHost, so the timing and the cache are tested natively.
//
// Timing, as written: note the time, compose the frame, draw it; wait until the frame's delay
// has passed since the noted time. The wait is one wait for the due time and the stop together,
// so a stop is answered at once and nothing wakes in between. The player works in
// microseconds, so its frames are as exact as the host's clock and waits.
//
// Play goes on only while the box can be seen: when its next frame is due and the host says the
// box cannot be seen, Run returns, and the next Run goes on from the frame on show with nothing
// forgotten. Kept frames that are let go (another size, another background) are made again from
// the frame on show, not from the start of a pass.
//
// Nothing on the player's thread throws: the screen, the kept frames and the list of steps
// come from nothrow allocations. Memory that cannot be had stops the caching (every frame is
// decoded again); the frame on show stays valid throughout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "Animation.h"

class AnimationHost {
public:
    virtual ~AnimationHost();
    // A precise clock, in microseconds from any origin.
    virtual int64_t NowUs() = 0;
    // Waits `us` microseconds, or less when a stop is requested meanwhile; may return early.
    virtual void WaitUs(int64_t us) = 0;
    virtual bool StopRequested() = 0;
    // The lock that the composed screen and the kept frame on show are shared under.
    virtual void Lock() = 0;
    virtual void Unlock() = 0;
    // Scales a screen of sw x sh pixels to w x h into `out` (w * h * 4 bytes, B, G, R, A).
    // False when it cannot. Called with the lock held.
    virtual bool Scale(const uint8_t* screen, int32_t sw, int32_t sh, uint8_t* out, int32_t w,
                       int32_t h) = 0;
    // Draws the frame on show into the box. Called without the lock.
    virtual void Show() = 0;
    // Whether the box can be seen now (its window is neither hidden nor minimized).
    virtual bool Seen() = 0;
};

class AnimationPlayer {
public:
    // Scaled frames kept for replaying, at most.
    static constexpr size_t kMaxCacheBytes = size_t{32} << 20;
    static constexpr size_t kMaxSteps = 65536;

    explicit AnimationPlayer(std::unique_ptr<PictureAnimation> animation);
    ~AnimationPlayer();
    AnimationPlayer(const AnimationPlayer&) = delete;
    AnimationPlayer& operator=(const AnimationPlayer&) = delete;

    int32_t Width() const { return animation_->Width(); }
    int32_t Height() const { return animation_->Height(); }

    // Makes the screen and composes the first frame on the background (0xAARRGGBB). False when
    // the screen cannot be had or the first frame cannot be drawn.
    bool Start(uint32_t backgroundBgra);

    // While the player is not running: the size frames are drawn at. Kept frames of another
    // size are forgotten.
    void SetDrawnSize(int32_t width, int32_t height);
    // While the player is not running: forgets the kept frames.
    void Forget();
    // While the player is not running: puts the frame on show on another background
    // (0xAARRGGBB, alpha ignored); the kept frames are forgotten.
    void Recompose(uint32_t backgroundBgra);

    // Plays until the host asks for a stop or the box cannot be seen; the next Run goes on from
    // the frame on show.
    void Run(AnimationHost& host);

    // With the host's lock held: the composed screen (Width() x Height()), and the kept frame
    // on show at the drawn size, or null when the screen is what to draw.
    const uint8_t* Screen() const { return screen_.get(); }
    const uint8_t* Shown() const { return shown_; }
    int32_t DrawnWidth() const { return drawnWidth_; }
    int32_t DrawnHeight() const { return drawnHeight_; }

private:
    struct Step;
    class Pass;

    bool OpenPass(AnimationHost& host, int64_t* notedUs);
    bool WaitFrame(AnimationHost& host, int64_t notedUs, int32_t delayMs);
    void RecordStep(AnimationHost& host, bool frame, int32_t delayMs);
    void StopCaching(AnimationHost& host);

    std::unique_ptr<PictureAnimation> animation_;
    std::unique_ptr<uint8_t[]> screen_;
    int32_t screenDelayMs_ = 0;  // the delay of the frame composed on the screen
    int32_t drawnWidth_ = 1;
    int32_t drawnHeight_ = 1;
    // The worker's own; shown_ points into one of the passes and is read under the lock.
    std::unique_ptr<Pass> pass_;
    std::unique_ptr<Pass> previousPass_;
    size_t cacheBytes_ = 0;
    bool caching_ = true;
    bool replaying_ = false;
    size_t replayAt_ = 0;
    const uint8_t* shown_ = nullptr;
    // A pass is under way: Run goes on with it. False once the kept frames are let go.
    bool open_ = false;
    int32_t delayMs_ = 0;  // the delay of the frame on show
    uint32_t passes_ = 0;  // the animation's passes when the current pass began
    // Steps the screen is behind the frame on show: a replay draws kept frames and leaves the
    // screen at the first step of the pass it replays.
    size_t behind_ = 0;
};
