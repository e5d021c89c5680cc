// Random numbers, the time-of-day value and the frame limiter.
//
// Operations (program thread; each returns at once, with a result of 0, while an error is
// pending): randomize, rnd, timer_value, frame_limit
#pragma once

#include <cstdint>

inline constexpr uint32_t rnd_seed_initial = 0x50000;
inline constexpr char seed_prompt_text[] = "Random-number seed (-32768 to 32767)? ";

// Prints seed_prompt_text and reads one signed 16-bit value with the line editor, which
// installs this when it is attached.
using SeedPrompt = int16_t (*)();

struct RandomTimer {
    struct {
        uint32_t rnd_seed = rnd_seed_initial; // only the low 24 bits are meaningful
        SeedPrompt ask_seed = nullptr;
    } random;
    struct {
        double limit_period_ms = 0;
        double limit_next_ms = 0; // tick count at which the current frame was due; 0: none yet
    } limiter;
};
extern RandomTimer random_timer;

// Mode 1 seeds from `seed` keeping the current low byte; mode 3 seeds and restarts from the
// initial low byte, so the same seed always gives the same sequence; any other mode asks the
// user (error 5 while no line editor has installed random_timer.random.ask_seed).
void randomize(double seed, int32_t mode);

// The next value in [0, 1); x = 0 repeats the last value, x < 0 reseeds from x first.
float rnd(float x, bool given);

// Seconds since midnight in steps of `accuracy` seconds (error 5 unless it is above 0), or
// without one in clock ticks of 1/18.2 s, rounded to single precision.
double timer_value(double accuracy, bool given);

// Paces a drawing loop to `fps` frames a second (error 5 for fps <= 0 or a period above 60 s).
void frame_limit(double fps);

// The limiter's bookkeeping for one frame at tick count `now`: how long to wait before the
// frame is due (0: go on at once).
uint32_t frame_limit_wait(double now, double period);
