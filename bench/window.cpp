// Built programs in a real window inside a private X server: the processor share of a program
// that waits for a key, the time from a key event to its glyph in the window, the time from
// exec to the first frame, and the memory a running program holds.
//
// The figures are counters; the time column of these benchmarks is only how long the
// measurement took. They measure whole processes by the wall clock: run them on a quiet
// machine, one at a time (see docs/performance.md).
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/screen_reader.h"
#include "tests/e2e/x_session.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

const std::vector<std::string> quiet_audio = {"SDL_AUDIODRIVER=dummy"};
constexpr int cell_w = 8, cell_h = 16;

double ms_between(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

void sleep_for_ms(double ms) {
    std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(ms));
}

double percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    size_t rank = size_t(p / 100 * double(values.size() - 1) + 0.5);
    return values[std::min(rank, values.size() - 1)];
}

// ---- What the kernel says about a process ------------------------------------------------

struct TaskTime {
    std::string name;
    double cpu_s;
};

// Name and processor time (user + system) of one task, from its stat line.
TaskTime read_stat(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    size_t open = line.find('('), close = line.rfind(')');
    if (open == std::string::npos || close == std::string::npos) return {};
    std::istringstream fields(line.substr(close + 2));
    std::string field;
    unsigned long long user = 0, system = 0;
    // The fields after the name start with the state, field 3; user time is 14, system 15.
    for (int number = 3; number <= 15 && fields >> field; ++number) {
        if (number == 14) user = std::stoull(field);
        if (number == 15) system = std::stoull(field);
    }
    return {line.substr(open + 1, close - open - 1),
            double(user + system) / double(sysconf(_SC_CLK_TCK))};
}

std::map<pid_t, TaskTime> read_tasks(pid_t pid) {
    std::map<pid_t, TaskTime> tasks;
    std::string folder = "/proc/" + std::to_string(pid) + "/task";
    DIR* dir = opendir(folder.c_str());
    if (!dir) return tasks;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        tasks[pid_t(std::stol(entry->d_name))] = read_stat(folder + "/" + entry->d_name + "/stat");
    }
    closedir(dir);
    return tasks;
}

// A "Name:   1234 kB" line of /proc/<pid>/status, in megabytes.
double status_mb(pid_t pid, const std::string& name) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(name + ":", 0) == 0) return std::stod(line.substr(name.size() + 1)) / 1024;
    return 0;
}

// The process of the X server that serves `display` (":140").
pid_t server_pid(const std::string& display) {
    pid_t found = 0;
    DIR* dir = opendir("/proc");
    while (dirent* entry = dir ? readdir(dir) : nullptr) {
        if (entry->d_name[0] < '1' || entry->d_name[0] > '9') continue;
        std::ifstream in(std::string("/proc/") + entry->d_name + "/cmdline");
        std::string program, first;
        std::getline(in, program, '\0');
        std::getline(in, first, '\0');
        if (program.ends_with("Xvfb") && first == display) found = pid_t(std::stol(entry->d_name));
    }
    if (dir) closedir(dir);
    return found;
}

// ---- Our own view of the X server ---------------------------------------------------------

// A second connection beside the harness's: it watches windows appear and key events arrive
// and reads single cells, without the cost of a whole-window screenshot.
class Observer {
  public:
    explicit Observer(const std::string& display) : display_(XOpenDisplay(display.c_str())) {
        XSetErrorHandler(ignore_errors);
    }
    ~Observer() {
        if (display_) XCloseDisplay(display_);
    }
    Observer(const Observer&) = delete;
    Observer& operator=(const Observer&) = delete;

    void watch_new_windows() {
        XSelectInput(display_, DefaultRootWindow(display_), SubstructureNotifyMask);
        XSync(display_, True);
    }

    // Waits for a top-level window that shows anything but black: the window system may map
    // a window and replace it before the program draws. Times are from `start`; false after
    // the time-out.
    bool wait_first_frame(Clock::time_point start, int timeout_ms, double& mapped_ms,
                          double& frame_ms, unsigned long& window) {
        auto deadline = start + std::chrono::milliseconds(timeout_ms);
        std::vector<unsigned long> mapped;
        mapped_ms = 0;
        while (Clock::now() < deadline) {
            while (XPending(display_)) {
                XEvent event;
                XNextEvent(display_, &event);
                if (event.type == MapNotify) {
                    if (mapped.empty()) mapped_ms = ms_between(start, Clock::now());
                    mapped.push_back(event.xmap.window);
                } else if (event.type == UnmapNotify || event.type == DestroyNotify) {
                    std::erase(mapped, event.type == UnmapNotify ? event.xunmap.window
                                                                 : event.xdestroywindow.window);
                }
            }
            for (unsigned long candidate : mapped) {
                if (shows_anything(candidate)) {
                    frame_ms = ms_between(start, Clock::now());
                    window = candidate;
                    return true;
                }
            }
            sleep_for_ms(1);
        }
        return false;
    }

    // Key presses reach every client that asks for them: we see the program's keys as it does.
    void watch_keys(unsigned long window) {
        XSelectInput(display_, window, KeyPressMask);
        XSetInputFocus(display_, window, RevertToParent, CurrentTime);
        XSync(display_, True);
    }
    bool wait_key_press(int timeout_ms) {
        XEvent event;
        return next_event(KeyPress, timeout_ms, event);
    }
    void discard_events() { XSync(display_, True); }

    // Whether anything but black shows in the window.
    bool shows_anything(unsigned long window) {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display_, window, &attributes)) return false;
        XImage* image = XGetImage(display_, window, 0, 0, attributes.width, attributes.height,
                                  AllPlanes, ZPixmap);
        if (!image) return false;
        size_t bytes = size_t(image->bytes_per_line) * image->height;
        bool any = std::any_of(image->data, image->data + bytes, [](char b) { return b != 0; });
        XDestroyImage(image);
        return any;
    }

    // The character shown in one text cell (1-based row and column); '?' for none.
    uint8_t cell_code(unsigned long window, int32_t row, int32_t column) {
        XImage* image = XGetImage(display_, window, (column - 1) * cell_w, (row - 1) * cell_h,
                                  cell_w, cell_h, AllPlanes, ZPixmap);
        if (!image) return '?';
        Screenshot shot{cell_w, cell_h, std::vector<uint32_t>(cell_w * cell_h)};
        for (int y = 0; y < cell_h; ++y)
            for (int x = 0; x < cell_w; ++x)
                shot.pixels[size_t(y) * cell_w + x] = XGetPixel(image, x, y) & 0xFFFFFF;
        XDestroyImage(image);
        return read_text_screen(shot).at(1, 1).code;
    }

  private:
    // A window may vanish between the event that named it and a request about it.
    static int ignore_errors(Display*, XErrorEvent*) { return 0; }
    bool next_event(int type, int timeout_ms, XEvent& event) {
        auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
        for (;;) {
            while (XPending(display_)) {
                XNextEvent(display_, &event);
                if (event.type == type) return true;
            }
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) return false;
            pollfd socket{ConnectionNumber(display_), POLLIN, 0};
            poll(&socket, 1, int(left.count()));
        }
    }

    Display* display_;
};

// xdotool started without waiting for it, so that the key's arrival can be watched.
[[maybe_unused]] pid_t start_xdotool(const std::string& display, const std::string& key) {
    std::string variable = "DISPLAY=" + display;
    std::vector<char*> env;
    for (char** e = environ; *e; ++e)
        if (std::string(*e).rfind("DISPLAY=", 0) != 0) env.push_back(*e);
    env.push_back(variable.data());
    env.push_back(nullptr);
    std::string program = "xdotool", verb = "key", name = key;
    char* argv[] = {program.data(), verb.data(), name.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "xdotool", nullptr, nullptr, argv, env.data()) != 0) return 0;
    return pid;
}

// ---- The programs and where they wait -----------------------------------------------------

struct Running {
    pid_t pid = 0;
    unsigned long window = 0;
};

Running launch(XSession& x, const char* program) {
    Running run;
    run.pid = x.launch(program, quiet_audio);
    run.window = x.wait_window("Untitled", 10000);
    return run;
}

// The end prompt of a program that has nothing else to do.
bool demo_at_end_prompt(XSession& x, Running& run) {
    TextScreen screen;
    run = launch(x, DEMO_PROGRAM);
    return run.window && wait_for_text(x, run.window, "Press any key to continue", 5000, screen);
}

enum class Scene { demo_end_prompt };

bool reach(XSession& x, Running& run, Scene scene) {
    switch (scene) {
    case Scene::demo_end_prompt: return demo_at_end_prompt(x, run);
    }
    return false;
}

// ---- Benchmarks ---------------------------------------------------------------------------

// Processor share of the program, by thread, and of the X server, while the program waits at
// `scene` for ten seconds.
void BM_IdleCpuShare(benchmark::State& state, Scene scene) {
    for (auto _ : state) {
        XSession x;
        Running run;
        if (!x.ready() || !reach(x, run, scene)) {
            state.SkipWithError("the program did not reach its waiting screen");
            return;
        }
        sleep_for_ms(1000); // let the last frame and any start-up work settle
        pid_t server = server_pid(x.display_name());
        auto tasks_before = read_tasks(run.pid);
        double server_before = read_stat("/proc/" + std::to_string(server) + "/stat").cpu_s;
        auto start = Clock::now();
        sleep_for_ms(10000);
        auto tasks_after = read_tasks(run.pid);
        double server_after = read_stat("/proc/" + std::to_string(server) + "/stat").cpu_s;
        double wall_s = ms_between(start, Clock::now()) / 1000;

        double total = 0, main = 0, audio = 0;
        for (const auto& [tid, after] : tasks_after) {
            auto before = tasks_before.find(tid);
            double used = after.cpu_s - (before == tasks_before.end() ? 0 : before->second.cpu_s);
            total += used;
            if (tid == run.pid)
                main += used;
            else if (after.name.starts_with("SDLAudio"))
                audio += used;
        }
        state.counters["cpu_percent"] = 100 * total / wall_s;
        state.counters["main_thread_percent"] = 100 * main / wall_s;
        state.counters["audio_thread_percent"] = 100 * audio / wall_s;
        state.counters["other_threads_percent"] = 100 * (total - main - audio) / wall_s;
        state.counters["x_server_percent"] = 100 * (server_after - server_before) / wall_s;
    }
}
BENCHMARK_CAPTURE(BM_IdleCpuShare, demo_end_prompt, Scene::demo_end_prompt)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

// From the fork of the program to its window being mapped, and to the first frame that shows
// anything but black, over repeated starts in one X server.
void BM_StartToFirstFrame(benchmark::State& state, const char* program) {
    constexpr int starts = 15;
    std::vector<double> window_ms, frame_ms;
    for (auto _ : state) {
        XSession x;
        if (!x.ready()) {
            state.SkipWithError("no X server");
            return;
        }
        Observer observer(x.display_name());
        for (int i = 0; i < starts; ++i) {
            observer.watch_new_windows();
            auto start = Clock::now();
            pid_t pid = x.launch(program, quiet_audio);
            double mapped = 0, frame = 0;
            unsigned long window = 0;
            if (!observer.wait_first_frame(start, 10000, mapped, frame, window)) break;
            window_ms.push_back(mapped);
            frame_ms.push_back(frame);
            x.close_window(window);
            int code = 0;
            if (!x.wait_exit(pid, 5000, code)) break;
        }
    }
    if (frame_ms.size() < starts) {
        state.SkipWithError("a start did not show its window or did not end");
        return;
    }
    state.counters["starts"] = double(frame_ms.size());
    state.counters["window_p50_ms"] = percentile(window_ms, 50);
    state.counters["frame_p50_ms"] = percentile(frame_ms, 50);
    state.counters["frame_p95_ms"] = percentile(frame_ms, 95);
    state.counters["frame_max_ms"] = *std::max_element(frame_ms.begin(), frame_ms.end());
}
BENCHMARK_CAPTURE(BM_StartToFirstFrame, demo, DEMO_PROGRAM)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

// Resident memory once the program has reached `scene`: now and at its highest.
void BM_ResidentMemory(benchmark::State& state, Scene scene) {
    for (auto _ : state) {
        XSession x;
        Running run;
        if (!x.ready() || !reach(x, run, scene)) {
            state.SkipWithError("the program did not reach its screen");
            return;
        }
        state.counters["rss_mb"] = status_mb(run.pid, "VmRSS");
        state.counters["peak_rss_mb"] = status_mb(run.pid, "VmHWM");
    }
}
BENCHMARK_CAPTURE(BM_ResidentMemory, demo_end_prompt, Scene::demo_end_prompt)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

} // namespace
