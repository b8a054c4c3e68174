// The animation player on a simulated machine whose system timer ticks every 15.6 ms, as
// Windows' does by default: frame timing against the written rule, the stop handshake, the
// replay of a settled pass, and a cache that cannot be kept.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "AnimationPlayer.h"

namespace {

constexpr int64_t kTickUs = 15600;

// Time moves only when the player waits or works. The precise clock reads the time, the tick
// count whole ticks; a wait ends when asked (a high-resolution timer) or at the first step of
// the timer's resolution after that. Each drawn frame is noted: when, and which (its pixels'
// value, or the screen's when nothing is kept).
struct Sim final : AnimationHost {
    bool preciseClock = true;
    int64_t waitStepUs = 0;
    int64_t now = 7777, stopAt = INT64_MAX, unseenAt = INT64_MAX;
    size_t waits = 0;
    bool locked = false, refuseScale = false;
    int decoded = 0;
    AnimationPlayer* player = nullptr;
    struct Shown {
        int64_t at;
        int frame;
        bool kept;
    };
    std::vector<Shown> shown;

    int64_t NowUs() override { return preciseClock ? now : now / kTickUs * kTickUs; }
    void WaitUs(int64_t us) override {
        ++waits;
        if (stopAt > now && stopAt - now < us) {  // the stop event ends it at once
            now = stopAt;
            return;
        }
        now += us;
        if (waitStepUs) now = (now + waitStepUs - 1) / waitStepUs * waitStepUs;
    }
    bool StopRequested() override { return now >= stopAt; }
    void Lock() override { locked = true; }
    void Unlock() override { locked = false; }
    bool Scale(const uint8_t* screen, int32_t, int32_t, uint8_t* out, int32_t w,
               int32_t h) override {
        EXPECT_TRUE(locked) << "the screen read without the lock";
        now += 700;
        std::memset(out, screen[0], static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
        return !refuseScale;
    }
    void Show() override {
        EXPECT_FALSE(locked);
        const uint8_t* kept = player->Shown();
        shown.push_back({now, kept ? kept[0] : player->Screen()[0], kept != nullptr});
        now += 300;
    }
    bool Seen() override { return now < unseenAt; }
};

// Frames 0 .. n-1 for ever, each a 2 x 2 screen of its number (plus 10 a pass when the
// animation never settles, plus the blue of the background it was last recomposed on).
class Frames final : public PictureAnimation {
public:
    Frames(Sim& sim, std::vector<int32_t> delays, bool settles)
        : sim_(sim), delays_(std::move(delays)), settles_(settles) {
        width_ = height_ = 2;
    }
    bool IsStill() const override { return false; }
    bool Start(uint8_t* screen, uint32_t, int32_t* delay) override { return Draw(screen, delay); }
    Step Next(uint8_t* screen, int32_t* delayMs) override {
        ++sim_.decoded;
        if (++at_ == delays_.size()) at_ = 0, ++passes_;
        Draw(screen, delayMs);
        return Step::Frame;
    }
    void Recompose(uint8_t* screen, uint32_t background) override {
        tint_ = background & 0xFF;
        std::memset(screen, static_cast<int>(at_ + tint_), 16);
    }

private:
    bool Draw(uint8_t* screen, int32_t* delayMs) {
        sim_.now += 3000;  // composing
        std::memset(screen, static_cast<int>(at_ + tint_ + (settles_ ? 0 : 10 * (passes_ % 20))),
                    16);
        *delayMs = delays_[at_];
        return true;
    }
    Sim& sim_;
    std::vector<int32_t> delays_;
    bool settles_;
    size_t at_ = 0;
    uint32_t tint_ = 0;
};

// Plays until the simulated time `stopAt`, frames drawn at side x side.
void Play(Sim& sim, std::vector<int32_t> delays, int64_t stopAt, bool settles, int32_t side) {
    AnimationPlayer player(std::make_unique<Frames>(sim, std::move(delays), settles));
    sim.player = &player;
    ASSERT_TRUE(player.Start(0xFF000000u));
    player.SetDrawnSize(side, side);
    sim.stopAt = stopAt;
    player.Run(sim);
    EXPECT_EQ(sim.shown.back().kept, player.Shown() != nullptr);
}

// Each frame starts its delay after the frame before it was noted, averaged over 100 frames;
// the player wakes once a frame and answers a stop at once; a pass that repeats the one before is
// replayed; a cache that cannot be kept leaves every frame decoded onto the screen.
TEST(AnimationPlayer, FramesOnTimeStopAnsweredReplayAndCache) {
    const std::vector<int32_t> delays = {20, 40, 50, 100, 30};
    const struct {
        const char* name;
        bool preciseClock, settles, refuseScale;
        int64_t waitStepUs;
        int32_t side;
        bool onTime, replays, keeps;
    } rows[] = {
        {"a high-resolution timer", true, true, false, 0, 3, true, true, true},
        {"a high-resolution timer, never settling", true, false, false, 0, 3, true, false, true},
        {"a timer raised to 1 ms", true, true, false, 1000, 3, true, true, true},
        {"a timer raised to 1 ms, never settling", true, false, false, 1000, 3, true, false, true},
        // What the tick count and default waits did: a 20 ms frame lasted 31.2 ms.
        {"the tick count, the default timer", false, true, false, kTickUs, 3, false, true, true},
        {"frames of 16 MB: the third is past 32 MiB", true, true, false, 0, 2000, true, false,
         false},
        {"scaling fails", true, true, true, 0, 3, true, false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Sim sim;
        sim.preciseClock = row.preciseClock;
        sim.waitStepUs = row.waitStepUs;
        sim.refuseScale = row.refuseScale;
        Play(sim, delays, 6543210, row.settles, row.side);
        ASSERT_GE(sim.shown.size(), 101u);
        EXPECT_GE(sim.now, sim.stopAt);
        // At most the work of one frame (compose, scale, show) after the stop.
        EXPECT_LE(sim.now - sim.stopAt, 4000);
        // One wake a frame; the coarse clock reads short of the due time and waits again.
        EXPECT_TRUE(!row.preciseClock || sim.waits <= sim.shown.size() + 1)
            << sim.waits << " wakes";
        // The first frame is on the screen before the player runs: the i-th drawn is i + 1.
        const auto frameOf = [&](size_t i) { return (i + 1) % delays.size(); };
        double lateMs = 0;
        for (size_t i = 1; i <= 100; ++i) {
            EXPECT_EQ(static_cast<int>(frameOf(i)), sim.shown[i].frame % 10) << "frame " << i;
            const int64_t interval = sim.shown[i].at - sim.shown[i - 1].at;
            lateMs += std::abs(static_cast<double>(interval - delays[frameOf(i - 1)] * 1000)) /
                      1000 / 100;
        }
        EXPECT_EQ(row.onTime, lateMs < 2.0) << lateMs << " ms late on average";
        // Replayed: two passes decoded, then the kept frames shown.
        EXPECT_EQ(row.replays ? 10 : static_cast<int>(sim.shown.size()), sim.decoded);
        EXPECT_EQ(row.keeps, sim.shown.back().kept);
    }
}

// Unseen, the player pauses and goes on from the frame on show, decoding nothing anew; a new
// background recomposes the frame on show, drawn at once, and play goes on from it.
TEST(AnimationPlayer, PausesUnseenAndRecomposesWhereItStands) {
    Sim sim;
    AnimationPlayer player(
        std::make_unique<Frames>(sim, std::vector<int32_t>{20, 40, 50, 100, 30}, true));
    sim.player = &player;
    ASSERT_TRUE(player.Start(0xFF000000u));
    sim.unseenAt = sim.now + 1000000;  // two passes of 240 ms recorded, then replayed
    sim.stopAt = sim.unseenAt + 1000000;
    player.Run(sim);
    EXPECT_LE(sim.now - sim.unseenAt, 100000) << "unseen for a frame at most";
    for (const int tint : {0, 100}) {
        SCOPED_TRACE(tint);
        const size_t at = sim.shown.size();
        const int standing = sim.shown.back().frame % 100;
        if (tint) player.Recompose(0xFF000000u + static_cast<uint32_t>(tint));
        sim.unseenAt = INT64_MAX;
        sim.stopAt = sim.now + 300000;
        player.Run(sim);
        ASSERT_GT(sim.shown.size(), at + 2);
        // Recomposed behind the frame on show, the screen catches up and is drawn at once.
        EXPECT_EQ((standing + 1) % 5 + tint, sim.shown[at + (tint && standing)].frame);
        EXPECT_TRUE(tint || sim.decoded == 10) << "decoded anew: " << sim.decoded;
    }
}

}  // namespace
