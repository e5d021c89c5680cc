// Start-up without the means to run: no display or no audio layer ends the process with code
// 100 and the window system's reason on standard error; standard output and error stay the
// inherited streams when the executable's folder cannot take their files. Started from a
// terminal, a program that cannot start says why and what to do there too.
#include <gtest/gtest.h>

#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/host/host.h"
#include "support/host_harness.h"

using testing::ExitedWithCode;

namespace fs = std::filesystem;

namespace {

// One line: the message and the window system's reason.
bool is_init_failure(const std::string& text) {
    const std::string start = "Unable to init SDL: ";
    return text.starts_with(start) && text.size() > start.size() + 1 && text.back() == '\n' &&
           text.find('\n') == text.size() - 1;
}

// A copy of the released demo program in a folder of its own.
class ReleasedProgram : public testing::Test {
  protected:
    void SetUp() override {
        char name[] = "/tmp/startup_XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        folder_ = name;
        fs::permissions(folder_, fs::perms(0755));
        fs::copy_file(DEMO_PROGRAM, folder_ / "demo");
        fs::copy_file(GAME_PROGRAM, folder_ / "game");
    }
    void TearDown() override { fs::remove_all(folder_); }

    struct Run {
        int exit_code;
        std::string inherited_stderr;
    };

    // Runs the copy without a display (`prefix` goes before it, e.g. to change the user), with
    // its standard error read back here and its standard output thrown away.
    Run run(const std::string& prefix = "") const {
        std::string command = "cd " + folder_.string() + " && SDL_VIDEODRIVER=no-such-driver " +
                              prefix + " ./demo 2>&1 >/dev/null";
        FILE* pipe = popen(command.c_str(), "r");
        std::string text;
        char buffer[256];
        while (pipe && std::fgets(buffer, sizeof buffer, pipe)) text += buffer;
        int status = pipe ? pclose(pipe) : -1;
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text};
    }

    // Runs `program` from the copy's folder in a pseudo-terminal, as from a player's shell,
    // with `environment` added; the text is what the terminal showed.
    Run run_in_terminal(const char* program, const std::vector<const char*>& environment) const {
        int terminal = -1;
        pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
        if (child == 0) {
            for (const char* setting : environment) putenv(const_cast<char*>(setting));
            if (chdir(folder_.c_str()) == 0) execl(program, program, nullptr);
            _exit(127);
        }
        std::string text;
        char buffer[256];
        // Once the program has ended and its side of the terminal is closed, read fails.
        for (ssize_t n; child > 0 && (n = read(terminal, buffer, sizeof buffer)) > 0;)
            text.append(buffer, size_t(n));
        int status = -1;
        if (child > 0) waitpid(child, &status, 0);
        if (terminal >= 0) close(terminal);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text};
    }

    std::string file_text(const char* name) const {
        std::ifstream file(folder_ / name);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

    fs::path folder_;
};

} // namespace

TEST(StartUp, WithoutADisplayEndsWith100AndTheReason) {
    EXPECT_EXIT(
        {
            setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
            run_host([](int) {}, sdl_platform());
        },
        ExitedWithCode(100), "^Unable to init SDL: [^\n]+\n$");
}

TEST(StartUp, WithoutAnAudioLayerEndsWith100AndTheReason) {
    EXPECT_EXIT(
        {
            setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
            run_host([](int) {}, sdl_platform());
        },
        ExitedWithCode(100), "^Unable to init SDL: [^\n]+\n$");
}

TEST_F(ReleasedProgram, WritesItsStandardErrorBesideItself) {
    Run r = run();
    EXPECT_EQ(r.exit_code, 100);
    EXPECT_EQ(r.inherited_stderr, "");
    EXPECT_TRUE(is_init_failure(file_text("stderr.txt"))) << file_text("stderr.txt");
    EXPECT_TRUE(fs::is_regular_file(folder_ / "stdout.txt"));
}

TEST_F(ReleasedProgram, KeepsTheInheritedStreamsWhenItsFilesCannotBeMade) {
    // Folders stand where the files would go: not even the superuser can open them.
    fs::create_directory(folder_ / "stdout.txt");
    fs::create_directory(folder_ / "stderr.txt");
    Run r = run();
    EXPECT_EQ(r.exit_code, 100);
    EXPECT_TRUE(is_init_failure(r.inherited_stderr)) << r.inherited_stderr;
}

TEST_F(ReleasedProgram, KeepsTheInheritedStreamsInAFolderItMayNotWrite) {
    if (geteuid() != 0 || system("command -v setpriv >/dev/null") != 0)
        GTEST_SKIP() << "needs the superuser and setpriv to run as another user";
    // The folder is the superuser's; the program runs as nobody.
    Run r = run("setpriv --reuid=65534 --regid=65534 --clear-groups");
    EXPECT_EQ(r.exit_code, 100);
    EXPECT_TRUE(is_init_failure(r.inherited_stderr)) << r.inherited_stderr;
    EXPECT_FALSE(fs::exists(folder_ / "stderr.txt"));
}

TEST_F(ReleasedProgram, TellsItsTerminalWhyItCouldNotStart) {
    // No display.
    Run r = run_in_terminal("./demo", {"SDL_VIDEODRIVER=no-such-driver"});
    EXPECT_EQ(r.exit_code, exit_no_window_system);
    EXPECT_NE(r.inherited_stderr.find("Unable to init SDL: "), std::string::npos);
    EXPECT_NE(r.inherited_stderr.find("DISPLAY=:99"), std::string::npos) << r.inherited_stderr;
    EXPECT_NE(r.inherited_stderr.find("Xvfb"), std::string::npos) << r.inherited_stderr;
    // The file holds the reason alone, as before.
    EXPECT_TRUE(is_init_failure(file_text("stderr.txt"))) << file_text("stderr.txt");

    // No audio device: the game plays at once.
    r = run_in_terminal("./game", {"SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=disk",
                                   "SDL_DISKAUDIOFILE=/nonexistent-folder/out.raw"});
    EXPECT_EQ(r.exit_code, exit_no_audio_device & 0xFF);
    EXPECT_NE(r.inherited_stderr.find("audio device"), std::string::npos) << r.inherited_stderr;
    EXPECT_NE(r.inherited_stderr.find("SDL_AUDIODRIVER=dummy"), std::string::npos)
        << r.inherited_stderr;
    EXPECT_NE(file_text("stderr.txt").find("audio device"), std::string::npos);
}
