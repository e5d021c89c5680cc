// Built programs in a real window inside a private X server: the processor share of a program
// that waits for a key, the time from a key event to its glyph in the window, the time from
// exec to the first frame, the time from a closed window to the end of the process, and the
// memory a running program holds.
//
// The figures are counters; the time column of these benchmarks is only how long the
// measurement took. They measure whole processes by the wall clock: run them on a quiet
// machine, one at a time (see docs/performance.md).
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
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

// A window may vanish between the request that found it and the next one about it; the
// default handler would end the measurement (and leave its programs running).
int ignore_x_errors(Display*, XErrorEvent*) {
    return 0;
}
[[maybe_unused]] const bool x_errors_ignored = (XSetErrorHandler(ignore_x_errors), true);
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
    double cpu_s;    // from the stat line, in clock ticks (usually 10 ms)
    double on_cpu_s; // from schedstat, in nanoseconds
    double wakeups;  // voluntary context switches: each sleep the task woke from
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
            double(user + system) / double(sysconf(_SC_CLK_TCK)), 0, 0};
}

std::map<pid_t, TaskTime> read_tasks(pid_t pid) {
    std::map<pid_t, TaskTime> tasks;
    std::string folder = "/proc/" + std::to_string(pid) + "/task";
    DIR* dir = opendir(folder.c_str());
    if (!dir) return tasks;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        std::string task = folder + "/" + entry->d_name;
        TaskTime& time = tasks[pid_t(std::stol(entry->d_name))] = read_stat(task + "/stat");
        std::ifstream schedstat(task + "/schedstat");
        unsigned long long on_cpu_ns = 0;
        schedstat >> on_cpu_ns;
        time.on_cpu_s = double(on_cpu_ns) * 1e-9;
        std::ifstream status(task + "/status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0)
                time.wakeups = std::stod(line.substr(24));
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
    explicit Observer(const std::string& display) : display_(XOpenDisplay(display.c_str())) {}
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

    // Polls one cell until `wanted` says yes about its character; false after the time-out.
    template <typename Wanted>
    bool wait_cell(unsigned long window, int32_t row, int32_t column, Wanted wanted,
                   int timeout_ms) {
        auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
        while (!wanted(cell_code(window, row, column))) {
            if (Clock::now() > deadline) return false;
            sleep_for_ms(0.5);
        }
        return true;
    }

  private:
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
pid_t start_xdotool(const std::string& display, const std::string& key) {
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

void run_xdotool(const std::string& display, const std::string& key) {
    if (pid_t pid = start_xdotool(display, key)) waitpid(pid, nullptr, 0);
}

// ---- The programs and where they wait -----------------------------------------------------

// Plays a program in its window the way a user does, reading the screen back between steps.
class Player {
  public:
    // `scale` is the window's scale (RT_SCALE): every screenshot is reduced by it.
    Player(XSession& x, const char* program, int32_t scale = 1) : x_(x), scale_(scale) {
        std::vector<std::string> environment = quiet_audio;
        environment.push_back("RT_SCALE=" + std::to_string(scale));
        pid_ = x.launch(program, environment);
        window_ = x.wait_window("Untitled", 10000);
    }
    pid_t pid() const { return pid_; }
    unsigned long window() const { return window_; }

    // Waits until the last row with text ends with `ending`: the program has printed it and
    // waits there. Cells no glyph matches (the cursor) count as blanks.
    bool wait_last_row(const std::string& ending, int timeout_ms = 30000) {
        auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
        while (window_ && Clock::now() < deadline) {
            if (last_row().ends_with(ending)) return true;
            sleep_for_ms(50);
        }
        return false;
    }
    bool shows(const std::string& text) {
        TextScreen screen;
        return read(screen) && screen.contains(text);
    }

    void type_line(const std::string& line) {
        x_.type(window_, line);
        x_.key(window_, "Return");
    }
    void press(const std::string& key) { x_.key(window_, key); }

    // The row and column of the cell after `prompt` and its "? ", on the last row with text.
    bool cell_after(const std::string& prompt, int32_t& row, int32_t& column) {
        TextScreen screen;
        if (!read(screen)) return false;
        for (row = screen.rows; row >= 1; --row) {
            size_t at = screen.row_text(row).find(prompt);
            if (at == std::string::npos) continue;
            column = int32_t(at + prompt.size()) + 2;
            return true;
        }
        return false;
    }

  private:
    bool read(TextScreen& screen) {
        Screenshot shot;
        if (!x_.capture(window_, shot)) return false;
        screen = read_text_screen(scale_ == 1 ? shot : reduce_screenshot(shot, scale_));
        for (ScreenCell& cell : screen.cells)
            if (!cell.matched) cell.code = ' ';
        return true;
    }
    std::string last_row() {
        TextScreen screen;
        if (!read(screen)) return {};
        for (int32_t row = screen.rows; row >= 1; --row)
            if (std::string text = screen.row_text(row); !text.empty()) return text;
        return {};
    }

    XSession& x_;
    int32_t scale_;
    pid_t pid_ = 0;
    unsigned long window_ = 0;
};

enum class Scene {
    demo_end_prompt, // the closing prompt of a program that does nothing else
    game_title,      // "Press a key to continue....." after the splash
    game_prompt,     // "Type something" in the first room
    game_played,     // the first room again after a round through screens and sounds
};

constexpr char title_prompt[] = "Press a key to continue.....";
constexpr char room_prompt[] = "Type something?";

// From the title through the dream, whose pauses a key cuts short, to the first room.
bool play_to_room(Player& player) {
    if (!player.wait_last_row(title_prompt)) return false;
    player.press("space");
    auto deadline = Clock::now() + std::chrono::seconds(60);
    while (!player.wait_last_row(room_prompt, 400)) {
        if (Clock::now() > deadline) return false;
        if (player.shows("Dream Sequence")) player.press("space");
    }
    // A key meant for the dream may have reached the line instead.
    for (int i = 0; i < 3; ++i) player.press("BackSpace");
    return player.wait_last_row(room_prompt);
}

// A round through the game's screens: an item taken, the living room, the television with
// its sound, the cash machine's graphics screen, and back.
bool play_round(Player& player) {
    player.type_line("get cashcard");
    if (!player.wait_last_row("Press a key to continue....")) return false;
    player.press("space");
    if (!player.wait_last_row(room_prompt)) return false;
    player.type_line("e");
    if (!player.wait_last_row(room_prompt) || !player.shows("living room")) return false;
    // Six programmes, then the card number; the seventh answer turns the set off.
    player.type_line("turn on tv");
    for (int answer = 1; answer <= 7; ++answer) {
        if (!player.wait_last_row("go on watching?")) return false;
        player.type_line(answer < 7 ? "y" : "n");
    }
    if (!player.wait_last_row(room_prompt)) return false;
    player.type_line("put card in machine");
    if (!player.wait_last_row("Press any key to see the screen:")) return false;
    player.press("space");
    if (!player.wait_last_row("Your choice:")) return false;
    player.press("3");
    return player.wait_last_row(room_prompt);
}

bool reach(Player& player, Scene scene) {
    switch (scene) {
    case Scene::demo_end_prompt: return player.wait_last_row("Press any key to continue");
    case Scene::game_title: return player.wait_last_row(title_prompt);
    case Scene::game_prompt: return play_to_room(player);
    case Scene::game_played: return play_to_room(player) && play_round(player);
    }
    return false;
}

// The programs measured: the ones built beside the benchmark, or others named by
// BENCH_DEMO_PROGRAM and BENCH_GAME_PROGRAM (an older build, measured in the same run).
const char* program_path(const char* variable, const char* built) {
    const char* other = std::getenv(variable);
    return other && *other ? other : built;
}
const char* demo_program() {
    return program_path("BENCH_DEMO_PROGRAM", DEMO_PROGRAM);
}
const char* game_program() {
    return program_path("BENCH_GAME_PROGRAM", GAME_PROGRAM);
}

const char* program_of(Scene scene) {
    return scene == Scene::demo_end_prompt ? demo_program() : game_program();
}

// ---- Benchmarks ---------------------------------------------------------------------------

// True once the program waits at `scene`; otherwise the benchmark is skipped.
bool reached_waiting_screen(benchmark::State& state, XSession& x, Player& player, Scene scene) {
    if (x.ready() && reach(player, scene)) return true;
    state.SkipWithError("the program did not reach its waiting screen");
    return false;
}

// Processor share of the program and of the X server while the program waits at `scene`, over
// ten seconds: from the kernel's tick counts of the stat lines (cpu_percent, as `top` sees
// it), and from the nanosecond run times of schedstat (on_cpu_percent and the threads' shares).
// The threads' wake-ups per second say where the share goes.
// At a scale above 1 the screen is large enough for the whole window to be read back.
void BM_IdleCpuShare(benchmark::State& state, Scene scene, int32_t scale) {
    for (auto _ : state) {
        XSession x(scale == 1 ? "1024x768x24" : "1920x1080x24");
        Player player(x, program_of(scene), scale);
        if (!reached_waiting_screen(state, x, player, scene)) return;
        sleep_for_ms(1000); // let the last frame and any start-up work settle
        pid_t pid = player.pid();
        pid_t server = server_pid(x.display_name());
        auto tasks_before = read_tasks(pid);
        auto server_before = read_tasks(server);
        auto start = Clock::now();
        sleep_for_ms(10000);
        auto tasks_after = read_tasks(pid);
        auto server_after = read_tasks(server);
        double wall_s = ms_between(start, Clock::now()) / 1000;

        // The threads by role: the main thread is the process's first; the program thread and
        // then the timer thread are the next ones that carry the program's name; the window
        // system's threads carry names of their own.
        struct Role {
            const char* name;
            double on_cpu_s = 0, wakeups = 0;
        };
        Role roles[] = {{"main"}, {"program"}, {"timer"}, {"audio"}, {"other"}};
        double ticks_s = 0;
        int unnamed = 0;
        for (const auto& [tid, after] : tasks_after) {
            auto before = tasks_before.find(tid);
            TaskTime start_time = before == tasks_before.end() ? TaskTime{} : before->second;
            ticks_s += after.cpu_s - start_time.cpu_s;
            size_t role = 4;
            if (tid == pid)
                role = 0;
            else if (after.name == tasks_after.at(pid).name && unnamed < 2)
                role = size_t(1 + unnamed++);
            else if (after.name.starts_with("SDLAudio"))
                role = 3;
            roles[role].on_cpu_s += after.on_cpu_s - start_time.on_cpu_s;
            roles[role].wakeups += after.wakeups - start_time.wakeups;
        }
        double on_cpu_s = 0, wakeups = 0;
        for (const Role& role : roles) {
            state.counters[std::string(role.name) + "_percent"] = 100 * role.on_cpu_s / wall_s;
            state.counters[std::string(role.name) + "_wakeups_per_s"] = role.wakeups / wall_s;
            on_cpu_s += role.on_cpu_s;
            wakeups += role.wakeups;
        }
        state.counters["cpu_percent"] = 100 * ticks_s / wall_s;
        state.counters["on_cpu_percent"] = 100 * on_cpu_s / wall_s;
        state.counters["wakeups_per_s"] = wakeups / wall_s;
        // The server's run time in nanoseconds: the frames it shows cost it well under a tick.
        double server_s = 0;
        for (const auto& [tid, after] : server_after) {
            auto before = server_before.find(tid);
            server_s +=
                after.on_cpu_s - (before == server_before.end() ? 0 : before->second.on_cpu_s);
        }
        state.counters["x_server_percent"] = 100 * server_s / wall_s;
    }
}
// The share moves by a tenth of a percent from one run to the next (on a virtual machine a
// wake-up costs more when the processors are idle), so each waiting screen is measured five
// times, from a fresh start, and the median and the extremes are reported.
double lowest(const std::vector<double>& values) {
    return *std::min_element(values.begin(), values.end());
}
double highest(const std::vector<double>& values) {
    return *std::max_element(values.begin(), values.end());
}
void idle_share_runs(benchmark::internal::Benchmark* b) {
    b->Iterations(1)
        ->Repetitions(5)
        ->ComputeStatistics("min", lowest)
        ->ComputeStatistics("max", highest)
        ->DisplayAggregatesOnly(true)
        ->Unit(benchmark::kSecond);
}
BENCHMARK_CAPTURE(BM_IdleCpuShare, demo_end_prompt, Scene::demo_end_prompt, 1)
    ->Apply(idle_share_runs);
BENCHMARK_CAPTURE(BM_IdleCpuShare, game_title, Scene::game_title, 1)->Apply(idle_share_runs);
BENCHMARK_CAPTURE(BM_IdleCpuShare, game_prompt, Scene::game_prompt, 1)->Apply(idle_share_runs);
// The window at twice the page's size costs what it costs at the page's size.
BENCHMARK_CAPTURE(BM_IdleCpuShare, game_title_scale2, Scene::game_title, 2)->Apply(idle_share_runs);
BENCHMARK_CAPTURE(BM_IdleCpuShare, game_prompt_scale2, Scene::game_prompt, 2)
    ->Apply(idle_share_runs);

// From a key press in the X server (xdotool, as a user's key) to its glyph in the program's
// window, at a prompt of the line editor; every key is then rubbed out with Backspace. The
// pauses between keys vary so that the keys fall on every phase of the main loop.
void BM_KeyToGlyph(benchmark::State& state, Scene scene) {
    constexpr int keys = 100;
    std::vector<double> latency_ms;
    std::mt19937 random(7);
    std::uniform_real_distribution<double> pause_ms(20, 120);
    for (auto _ : state) {
        XSession x;
        Player player(x, program_of(scene));
        int32_t row = 0, column = 0;
        if (!x.ready() || !reach(player, scene) || !player.cell_after(room_prompt, row, column)) {
            state.SkipWithError("the program did not reach its prompt");
            return;
        }
        unsigned long window = player.window();
        Observer observer(x.display_name());
        observer.watch_keys(window);
        for (int i = 0; i < keys; ++i) {
            uint8_t letter = uint8_t('a' + i % 26);
            sleep_for_ms(pause_ms(random));
            observer.discard_events();
            pid_t xdotool = start_xdotool(x.display_name(), std::string(1, char(letter)));
            bool pressed = observer.wait_key_press(3000);
            auto pressed_at = Clock::now();
            bool shown =
                pressed && observer.wait_cell(
                               window, row, column, [&](uint8_t c) { return c == letter; }, 3000);
            double ms = ms_between(pressed_at, Clock::now());
            if (xdotool) waitpid(xdotool, nullptr, 0);
            if (!shown) break;
            latency_ms.push_back(ms);
            run_xdotool(x.display_name(), "BackSpace");
            observer.wait_cell(
                window, row, column, [&](uint8_t c) { return c != letter; }, 3000);
        }
    }
    if (latency_ms.size() < keys) {
        state.SkipWithError("a key did not show");
        return;
    }
    state.counters["keys"] = double(latency_ms.size());
    state.counters["p50_ms"] = percentile(latency_ms, 50);
    state.counters["p95_ms"] = percentile(latency_ms, 95);
    state.counters["max_ms"] = *std::max_element(latency_ms.begin(), latency_ms.end());
}
BENCHMARK_CAPTURE(BM_KeyToGlyph, game_prompt, Scene::game_prompt)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

// Two processes that only spin, as other work on a busy machine; they end with the object.
class BusyLoops {
  public:
    explicit BusyLoops(int count) {
        for (int i = 0; i < count; ++i) {
            pid_t pid = fork();
            if (pid == 0)
                for (;;) {
                }
            if (pid > 0) pids_.push_back(pid);
        }
    }
    ~BusyLoops() {
        for (pid_t pid : pids_) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    BusyLoops(const BusyLoops&) = delete;
    BusyLoops& operator=(const BusyLoops&) = delete;

  private:
    std::vector<pid_t> pids_;
};

// From the key press that answers the demo's closing prompt in the X server to the end of the
// process, with `range(0)` busy loops running beside it.
void BM_EndPromptToExit(benchmark::State& state) {
    for (auto _ : state) {
        XSession x;
        Player player(x, demo_program());
        if (!x.ready() || !reach(player, Scene::demo_end_prompt)) {
            state.SkipWithError("the program did not reach its end prompt");
            return;
        }
        sleep_for_ms(1000); // the prompt is shown and the program waits
        Observer observer(x.display_name());
        observer.watch_keys(player.window());
        BusyLoops busy(int(state.range(0)));
        pid_t xdotool = start_xdotool(x.display_name(), "space");
        bool pressed = observer.wait_key_press(3000);
        auto pressed_at = Clock::now();
        int status = 0;
        bool ended = false;
        while (pressed && !ended && ms_between(pressed_at, Clock::now()) < 10000) {
            ended = waitpid(player.pid(), &status, WNOHANG) == player.pid();
            if (!ended) sleep_for_ms(0.5);
        }
        double ms = ms_between(pressed_at, Clock::now());
        if (xdotool) waitpid(xdotool, nullptr, 0);
        if (!ended || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("the program did not end with code 0 after the key");
            return;
        }
        state.counters["exit_ms"] = ms;
    }
}
BENCHMARK(BM_EndPromptToExit)->Arg(0)->Arg(2)->Apply(idle_share_runs);

// From the fork of the program to its window being mapped, and to the first frame that shows
// anything but black, over repeated starts in one X server.
void BM_StartToFirstFrame(benchmark::State& state, const char* (*program_path)()) {
    const char* program = program_path();
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
BENCHMARK_CAPTURE(BM_StartToFirstFrame, demo, demo_program)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_StartToFirstFrame, game, game_program)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

// From the close of the window (WM_DELETE_WINDOW, as a close button sends) to the end of the
// process, while the program waits at `scene`. The tests only hold this to a generous
// deadline; here it is measured.
void BM_CloseToExit(benchmark::State& state, Scene scene) {
    for (auto _ : state) {
        XSession x;
        Player player(x, program_of(scene));
        if (!reached_waiting_screen(state, x, player, scene)) return;
        sleep_for_ms(500); // deep in its wait
        auto start = Clock::now();
        x.close_window(player.window());
        int code = 0;
        if (!x.wait_exit(player.pid(), 10000, code) || code != 0) {
            state.SkipWithError("the program did not end with code 0 after the close");
            return;
        }
        state.counters["close_ms"] = ms_between(start, Clock::now());
    }
}
BENCHMARK_CAPTURE(BM_CloseToExit, demo_end_prompt, Scene::demo_end_prompt)->Apply(idle_share_runs);
BENCHMARK_CAPTURE(BM_CloseToExit, game_title, Scene::game_title)->Apply(idle_share_runs);
BENCHMARK_CAPTURE(BM_CloseToExit, game_prompt, Scene::game_prompt)->Apply(idle_share_runs);

// Resident memory once the program has reached `scene`: now and at its highest, and the part
// of it that is the process's own (heap, stacks, data) and the part mapped from files (code of
// the program and its libraries).
void BM_ResidentMemory(benchmark::State& state, Scene scene) {
    for (auto _ : state) {
        XSession x;
        Player player(x, program_of(scene));
        if (!x.ready() || !reach(player, scene)) {
            state.SkipWithError("the program did not reach its screen");
            return;
        }
        state.counters["rss_mb"] = status_mb(player.pid(), "VmRSS");
        state.counters["peak_rss_mb"] = status_mb(player.pid(), "VmHWM");
        state.counters["own_rss_mb"] = status_mb(player.pid(), "RssAnon");
        state.counters["file_rss_mb"] = status_mb(player.pid(), "RssFile");
    }
}
BENCHMARK_CAPTURE(BM_ResidentMemory, demo_end_prompt, Scene::demo_end_prompt)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_ResidentMemory, game_played, Scene::game_played)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

} // namespace
