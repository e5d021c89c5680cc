#include "runtime/strings/random_timer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <set>

#include "runtime/kernel/errors.h"
#include "runtime/kernel/host_state.h"

namespace {

class RandomTimerTest : public testing::Test {
  protected:
    void SetUp() override {
        random_timer = {};
        errors = {};
    }
    void TearDown() override { errors = {}; }
};

float seed_value(uint32_t seed) {
    return static_cast<float>(seed) / 16777216;
}

using Rnd = RandomTimerTest;

TEST_F(Rnd, FreshRunStartsWithTheSameSequence) {
    EXPECT_EQ(rnd(0, true), 0.01953125f);
    EXPECT_EQ(rnd(0, false), seed_value(0xB49EC3)); // about .7055475
    EXPECT_EQ(rnd(1, true), seed_value(0x888E7A));  // about .533424
    EXPECT_EQ(rnd(7, true), seed_value(0x945B55));  // about .5795186
    EXPECT_EQ(rnd(0, true), seed_value(0x945B55));  // repeated, not advanced
    EXPECT_EQ(rnd(-0.0f, true), seed_value(0x945B55));
}

TEST_F(Rnd, NegativeArgumentReseedsFromItsBits) {
    const float first = rnd(-1, true); // bits 0xBF800000: seed 0x800000 + 0xBF
    EXPECT_EQ(first, seed_value((0x8000BFu * 0xFD43FD + 0xC39EC3) & 0xFFFFFF));
    rnd(1, false);
    EXPECT_EQ(rnd(-1, true), first);
    EXPECT_NE(rnd(-2, true), first);
}

TEST_F(Rnd, ReturnsNothingWhileAnErrorIsPending) {
    raise_error(6);
    EXPECT_EQ(rnd(1, true), 0);
    errors = {};
    EXPECT_EQ(rnd(1, true), seed_value(0xB49EC3));
}

TEST_F(Rnd, RandomizeMixesTheSeedsHighWord) {
    // 1.0 is 0x3FF00000'00000000: (0x3FF00000 ^ 0x3FF0) & 0xFFFF = 0x3FF0.
    randomize(1.0, 3);
    EXPECT_EQ(rnd(0, true), seed_value(0x3FF000));
    randomize(-2.5, 3); // 0xC0040000: 0x0000 ^ 0xC004
    EXPECT_EQ(rnd(0, true), seed_value(0xC00400));
}

TEST_F(Rnd, RandomizeModeThreeRestartsTheSequence) {
    randomize(42, 3);
    const float a = rnd(1, true), b = rnd(1, true);
    for (int i = 0; i < 5; ++i) rnd(1, true);
    randomize(42, 3);
    EXPECT_EQ(rnd(1, true), a);
    EXPECT_EQ(rnd(1, true), b);
}

TEST_F(Rnd, RandomizeModeOneKeepsTheCurrentLowByte) {
    randomize(42, 1);
    const uint32_t high = random_timer.random.rnd_seed & 0xFFFF00;
    rnd(1, true);
    const uint32_t low = random_timer.random.rnd_seed & 0xFF;
    randomize(42, 1);
    EXPECT_EQ(random_timer.random.rnd_seed, high | low);
}

int16_t typed_minus_one() {
    return -1;
}
int16_t typed_then_stopped() {
    raise_error(7);
    return 123;
}

TEST_F(Rnd, RandomizeAsksForASeedInOtherModes) {
    randomize(99, 0);
    EXPECT_EQ(errors.error_number, 5); // no line editor attached
    errors = {};
    random_timer.random.ask_seed = typed_minus_one;
    rnd(1, true); // low byte 0xC3
    randomize(99, 2);
    EXPECT_EQ(random_timer.random.rnd_seed, 0xFFFFC3u); // the typed value is not mixed
    random_timer.random.ask_seed = typed_then_stopped;
    randomize(99, 0);
    EXPECT_EQ(random_timer.random.rnd_seed, 0xFFFFC3u);
}

using Timer = RandomTimerTest;

// Moves the time of day so that now_ms() reads `tod_ms` at this instant.
void set_time_of_day(uint32_t tod_ms) {
    host_time.ticks_at_start = ticks_ms();
    host_time.tod_at_start_ms = tod_ms;
}

TEST_F(Timer, AccuracyQuantisesTheTimeOfDay) {
    set_time_of_day(45296789); // 12:34:56.789
    const double ms = timer_value(0.001, true);
    EXPECT_GE(ms, 45296.789);
    EXPECT_LT(ms, 45300);
    EXPECT_EQ(std::nearbyint(ms * 1000) / 1000, ms);
    const double whole = timer_value(1, true);
    EXPECT_EQ(whole, std::nearbyint(whole));
    EXPECT_GE(whole, 45297);
}

TEST_F(Timer, WithoutAccuracyStepsInClockTicks) {
    set_time_of_day(3600000);
    std::set<float> seen;
    const auto start = std::chrono::steady_clock::now();
    while (seen.size() < 4 && std::chrono::steady_clock::now() - start < std::chrono::seconds(5))
        seen.insert(static_cast<float>(timer_value(0, false)));
    ASSERT_GE(seen.size(), 4u);
    // The value is a single, whose last bit near an hour is worth about 0.0044 of a tick. A
    // busy machine may hold the loop for several ticks, so steps are whole ticks, not one.
    constexpr double single_slack_ticks = 0.01;
    for (const float t : seen) {
        const double ticks = t * 18.2;
        EXPECT_NEAR(ticks, std::nearbyint(ticks), single_slack_ticks) << t;
    }
    for (auto a = seen.begin(), b = std::next(a); b != seen.end(); ++a, ++b) {
        const double step_ticks = (double(*b) - double(*a)) * 18.2;
        EXPECT_NEAR(step_ticks, std::nearbyint(step_ticks), 2 * single_slack_ticks);
        EXPECT_GE(std::nearbyint(step_ticks), 1);
    }
}

TEST_F(Timer, ReturnsToZeroAtMidnight) {
    set_time_of_day(86400000 - 30);
    EXPECT_GT(timer_value(0, false), 86399);
    const auto start = std::chrono::steady_clock::now();
    while (timer_value(0.001, true) > 1 &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) {
    }
    EXPECT_LT(timer_value(0, false), 1);
}

TEST_F(Timer, AccuracyMustBePositive) {
    for (const double accuracy : {0.0, -1.0, std::nan("")}) {
        errors = {};
        EXPECT_EQ(timer_value(accuracy, true), 0);
        EXPECT_EQ(errors.error_number, 5) << accuracy;
    }
}

TEST_F(Timer, ExtremeAccuraciesStaySensible) {
    set_time_of_day(80000000);
    EXPECT_NEAR(timer_value(1e-9, true), 80000, 5); // finer than 32-bit step counts reach
    EXPECT_EQ(timer_value(1e300, true), 0);
    EXPECT_EQ(timer_value(INFINITY, true), 0);
    EXPECT_EQ(errors.error_number, 0);
}

using FrameLimit = RandomTimerTest;

TEST_F(FrameLimit, ShortFramesWaitForTheRestOfThePeriod) {
    const double period = 1000.0 / 60;
    double now = 1000;
    EXPECT_EQ(frame_limit_wait(now, period), 0u); // the first frame only starts the cadence
    for (int frame = 0; frame < 20; ++frame) {
        now += 5; // the loop's own work
        const uint32_t wait = frame_limit_wait(now, period);
        EXPECT_GE(wait, 11u);
        EXPECT_LE(wait, 13u);
        now += wait;
    }
    // The cadence holds: 20 periods after the start, within a millisecond or so.
    EXPECT_NEAR(now, 1000 + 20 * period, 2);
}

TEST_F(FrameLimit, SlowFramesNeverWaitAndRestartTheCadence) {
    double now = 1000;
    frame_limit_wait(now, 1000.0 / 60);
    for (int frame = 0; frame < 10; ++frame) {
        now += 40;
        EXPECT_EQ(frame_limit_wait(now, 1000.0 / 60), 0u);
        EXPECT_EQ(random_timer.limiter.limit_next_ms, now);
    }
}

TEST_F(FrameLimit, SlightlyLateFramesKeepTheCadence) {
    frame_limit_wait(1000, 20);
    EXPECT_EQ(frame_limit_wait(1030, 20), 0u); // 30 ms late: within period + 16
    EXPECT_EQ(random_timer.limiter.limit_next_ms, 1020);
    EXPECT_EQ(frame_limit_wait(1030, 20), 11u); // due at 1040
}

TEST_F(FrameLimit, ClockBehindTheCadenceRestartsIt) {
    frame_limit_wait(5000, 20);
    EXPECT_EQ(frame_limit_wait(100, 20), 0u); // tick count wrapped
    EXPECT_EQ(random_timer.limiter.limit_next_ms, 100);
}

TEST_F(FrameLimit, RejectsRatesOutsideOneFrameAMinuteAndUp) {
    for (const double fps : {0.0, -30.0, 1.0 / 61, std::nan("")}) {
        errors = {};
        frame_limit(fps);
        EXPECT_EQ(errors.error_number, 5) << fps;
    }
    errors = {};
    frame_limit(1.0 / 60); // exactly one a minute: the first call only starts the cadence
    EXPECT_EQ(errors.error_number, 0);
    EXPECT_EQ(random_timer.limiter.limit_period_ms, 60000);
}

TEST_F(FrameLimit, PacesARealLoop) {
    while (ticks_ms() == 0) yield_thread(); // a tick count of 0 reads as "no frame yet"
    const auto start = std::chrono::steady_clock::now();
    for (int frame = 0; frame < 11; ++frame) frame_limit(100);
    // Waits never end early, so ten periods take at least ten periods.
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(99));
}

} // namespace
