// The example programs as released: each runs headless until its window is closed and ends
// with code 0 having reported nothing; in a real window the jukebox plays the tune chosen and
// the rings flow until a key stops them.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/kernel/host_state.h"
#include "runtime/sound/mixer.h"
#include "screen_reader.h"
#include "x_session.h"

namespace fs = std::filesystem;

namespace {

// How long a wait goes on before it fails: long enough for a busy machine.
constexpr int patience_ms = 20000;

// A copy of an example in a folder of its own, where its standard streams' files go.
class Example : public testing::Test {
  protected:
    void SetUp() override {
        char name[] = "/tmp/example_XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        folder_ = name;
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::string copy(const char* program) const {
        fs::path to = folder_ / fs::path(program).filename();
        fs::copy_file(program, to);
        return to.string();
    }

    std::string file_text(const char* name) const {
        std::ifstream file(folder_ / name);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

    // Headless (the test's dummy drivers): still running after a second and a half, then a
    // termination signal, which the window system turns into closing the window.
    void runs_until_closed(const char* program) const {
        std::string path = copy(program);
        pid_t pid = fork();
        if (pid == 0) {
            execl(path.c_str(), path.c_str(), nullptr);
            _exit(127);
        }
        ASSERT_GT(pid, 0);
        sleep_ms(1500);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, WNOHANG), 0) << "ended on its own";
        kill(pid, SIGTERM);
        for (int waited = 0; waited < patience_ms && waitpid(pid, &status, WNOHANG) == 0;
             waited += 5)
            sleep_ms(5);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
        EXPECT_EQ(file_text("stderr.txt"), "");
    }

    fs::path folder_;
};

bool same_picture(const Screenshot& a, const Screenshot& b) {
    return a.width == b.width && a.height == b.height && a.pixels == b.pixels;
}

} // namespace

TEST_F(Example, RingsRunsHeadlessUntilTheWindowCloses) {
    runs_until_closed(RINGS_PROGRAM);
}

TEST_F(Example, JukeboxRunsHeadlessUntilTheWindowCloses) {
    runs_until_closed(JUKEBOX_PROGRAM);
}

TEST_F(Example, RingsFlowUntilAKeyIsPressed) {
    XSession x;
    ASSERT_TRUE(x.ready());
    pid_t pid = x.launch(copy(RINGS_PROGRAM), {"SDL_AUDIODRIVER=dummy"});
    unsigned long window = x.wait_window("Untitled", patience_ms);
    ASSERT_NE(window, 0u);
    TextScreen screen;
    ASSERT_TRUE(wait_for_text(x, window, "Press a key to stop the flow", patience_ms, screen, 8));

    // The ring colours move through the palette: the picture changes by itself.
    Screenshot before, after;
    ASSERT_TRUE(x.capture(window, before));
    EXPECT_EQ(before.width, 320);
    EXPECT_EQ(before.height, 200);
    for (int waited = 0; waited < patience_ms; waited += 20) {
        ASSERT_TRUE(x.capture(window, after));
        if (!same_picture(before, after)) break;
        sleep_ms(20);
    }
    EXPECT_FALSE(same_picture(before, after));

    x.key(window, "space");
    ASSERT_TRUE(wait_for_text(x, window, "Press any key to continue", patience_ms, screen, 8));
    ASSERT_TRUE(x.capture(window, before));
    sleep_ms(300);
    ASSERT_TRUE(x.capture(window, after));
    EXPECT_TRUE(same_picture(before, after)) << "the flow has stopped";

    int code = -1;
    ASSERT_TRUE(x.press_until_exit(window, "space", pid, patience_ms, code));
    EXPECT_EQ(code, 0);
    EXPECT_EQ(file_text("stderr.txt"), "");
}

TEST_F(Example, JukeboxPlaysTheChosenTune) {
    XSession x;
    ASSERT_TRUE(x.ready());
    std::string audio = (folder_ / "audio.raw").string();
    pid_t pid =
        x.launch(copy(JUKEBOX_PROGRAM), {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + audio});
    unsigned long window = x.wait_window("Untitled", patience_ms);
    ASSERT_NE(window, 0u);
    TextScreen screen;
    ASSERT_TRUE(wait_for_text(x, window, "J U K E B O X", patience_ms, screen));
    EXPECT_TRUE(screen.contains("Tempo 120"));

    x.key(window, "plus");
    ASSERT_TRUE(wait_for_text(x, window, "Tempo 140", patience_ms, screen));
    x.key(window, "2");
    ASSERT_TRUE(wait_for_text(x, window, "Playing: Fanfare", patience_ms, screen));
    ASSERT_TRUE(wait_for_text(x, window, "Played: Fanfare", 10000, screen));

    x.key(window, "Escape");
    ASSERT_TRUE(wait_for_text(x, window, "Press any key to continue", patience_ms, screen));
    int code = -1;
    ASSERT_TRUE(x.press_until_exit(window, "space", pid, patience_ms, code));
    EXPECT_EQ(code, 0);

    // The tune was heard: the device's output holds sound.
    std::ifstream file(audio, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)), {});
    size_t loud = 0;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        int16_t sample = int16_t(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8);
        loud += sample > 8000 || sample < -8000;
    }
    EXPECT_GT(loud, size_t(mixer_rate_hz)) << "half a second of the tune, at least";
}
