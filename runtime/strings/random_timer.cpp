#include "runtime/strings/random_timer.h"

#include <bit>
#include <cmath>

#include "runtime/kernel/errors.h"
#include "runtime/kernel/host_state.h"
#include "runtime/kernel/kernel.h"

constinit RandomTimer random_timer;

namespace {

constexpr uint32_t seed_mask = 0xFFFFFF;
constexpr float seed_scale = 1.0f / 16777216;

// The seed's high 16 bits come from a value's sign, exponent and top mantissa bits; the low
// byte carries over (or restarts).
void set_seed(uint32_t high16, uint32_t low_byte_source) {
    random_timer.random.rnd_seed = (high16 & 0xFFFF) * 256 + (low_byte_source & 0xFF);
}

constexpr double max_frame_period_ms = 60000;
constexpr double max_overdue_ms = 16; // a later frame restarts the cadence

} // namespace

void randomize(double seed, int32_t mode) {
    if (error_pending()) return;
    auto& random = random_timer.random;
    if (mode == 1 || mode == 3) {
        const uint32_t h = static_cast<uint32_t>(std::bit_cast<uint64_t>(seed) >> 32);
        set_seed(h ^ (h >> 16), mode == 3 ? rnd_seed_initial : random.rnd_seed);
        return;
    }
    if (random.ask_seed == nullptr) {
        raise_error(ErrorCode::illegal_function_call);
        return;
    }
    const int16_t typed = random.ask_seed();
    if (error_pending()) return;
    set_seed(static_cast<uint16_t>(typed), random.rnd_seed);
}

float rnd(float x, bool given) {
    if (error_pending()) return 0;
    uint32_t& seed = random_timer.random.rnd_seed;
    if (!given) x = 1;
    if (x == 0) return static_cast<float>(seed) * seed_scale;
    if (x < 0) {
        const uint32_t bits = std::bit_cast<uint32_t>(x);
        seed = (bits & seed_mask) + (bits >> 24);
    }
    seed = (seed * 0xFD43FDu + 0xC39EC3u) & seed_mask;
    return static_cast<float>(seed) * seed_scale;
}

double timer_value(double accuracy, bool given) {
    if (error_pending()) return 0;
    if (given && !(accuracy > 0)) {
        raise_error(ErrorCode::illegal_function_call);
        return 0;
    }
    const double seconds = now_ms() / 1000.0;
    const double steps_per_second = given ? 1 / accuracy : clock_ticks_per_second;
    const double steps = seconds * steps_per_second;
    // Rounded in double rather than to a 32-bit integer, so that accuracies finer than
    // 1/24855 s do not overflow; steps finer than a double resolves leave the time as it is,
    // and an infinite accuracy (no steps per second) gives 0.
    double quantised = seconds;
    if (std::fabs(steps) < 0x1p52) {
        const double whole_steps = std::nearbyint(steps); // halves to even
        quantised = whole_steps == 0 ? 0 : whole_steps / steps_per_second;
    }
    return given ? quantised : static_cast<float>(quantised);
}

uint32_t frame_limit_wait(double now, double period) {
    auto& limiter = random_timer.limiter;
    limiter.limit_period_ms = period;
    if (limiter.limit_next_ms == 0 || limiter.limit_next_ms > now) {
        limiter.limit_next_ms = now;
        return 0;
    }
    const double late = now - limiter.limit_next_ms;
    if (period > late) {
        limiter.limit_next_ms += period;
        return static_cast<uint32_t>(period - late + 1);
    }
    if (late <= period + max_overdue_ms)
        limiter.limit_next_ms += period;
    else
        limiter.limit_next_ms = now;
    return 0;
}

void frame_limit(double fps) {
    if (error_pending()) return;
    const double period = 1000 / fps;
    if (!(fps > 0) || period > max_frame_period_ms) {
        raise_error(ErrorCode::illegal_function_call);
        return;
    }
    // delay rather than a plain sleep: a one-frame-a-minute loop must not hold up closing.
    const uint32_t wait = frame_limit_wait(ticks_ms(), period);
    if (wait > 0) delay(wait);
}
