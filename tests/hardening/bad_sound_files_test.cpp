// Sound files that are broken, cut short or lie about themselves: opening one gives handle 0 and
// raises nothing, or - where the loader makes sense of it - a sound no longer than the samples
// the file really holds. Either way every operation on the result is safe and the program goes on.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/host/host.h"
#include "runtime/kernel/errors.h"
#include "runtime/kernel/host_state.h"
#include "runtime/sound/sound.h"
#include "runtime/strings/rtstring.h"
#include "support/host_harness.h"

using testing::ExitedWithCode;

namespace {

using Bytes = std::vector<uint8_t>;

void put16(Bytes& b, size_t at, uint32_t v) {
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}
void put32(Bytes& b, size_t at, uint32_t v) {
    put16(b, at, v);
    put16(b, at + 2, v >> 16);
}

// A well-formed file: 16-bit stereo at 22,050 frames a second, `frames` frames of a quiet
// square wave. Offsets: 4 RIFF size, 16 format size, 20 tag, 22 channels, 24 rate, 28 byte
// rate, 32 block align, 34 bits, 40 data size, 44 samples.
Bytes good_wav(uint32_t frames) {
    Bytes b(44 + size_t(frames) * 4);
    std::memcpy(&b[0], "RIFF", 4);
    put32(b, 4, uint32_t(b.size() - 8));
    std::memcpy(&b[8], "WAVEfmt ", 8);
    put32(b, 16, 16);
    put16(b, 20, 1);
    put16(b, 22, 2);
    put32(b, 24, 22050);
    put32(b, 28, 22050 * 4);
    put16(b, 32, 4);
    put16(b, 34, 16);
    std::memcpy(&b[36], "data", 4);
    put32(b, 40, frames * 4);
    for (uint32_t i = 0; i < frames * 2; ++i) put16(b, 44 + 2 * i, (i / 50) % 2 ? 0x0400 : 0xFC00);
    return b;
}

Bytes with32(Bytes b, size_t at, uint32_t v) {
    put32(b, at, v);
    return b;
}
Bytes with16(Bytes b, size_t at, uint32_t v) {
    put16(b, at, v);
    return b;
}
Bytes cut(Bytes b, size_t size) {
    b.resize(size);
    return b;
}

// A chunk put between the format and the samples.
Bytes with_chunk(const Bytes& wav, const char* id, const Bytes& body) {
    Bytes chunk(8);
    std::memcpy(chunk.data(), id, 4);
    put32(chunk, 4, uint32_t(body.size()));
    chunk.insert(chunk.end(), body.begin(), body.end());
    Bytes b = wav;
    b.insert(b.begin() + 36, chunk.begin(), chunk.end());
    put32(b, 4, uint32_t(b.size() - 8));
    return b;
}

// A loop table: the sampler's header with `count` loops, and room for `held` of them.
Bytes loop_table(uint32_t count, uint32_t held) {
    Bytes b(36 + size_t(held) * 24);
    put32(b, 28, count);
    return b;
}

Bytes text_bytes(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

struct BadFile {
    const char* name;
    Bytes bytes;
    // The seconds of sound the file really holds, a loader may make no more of it; -1 for a
    // file that holds no sound at all and must be refused.
    double seconds_present;
};

constexpr double refused = -1;

// 2,205 frames: 0.1 s.
std::vector<BadFile> bad_files() {
    const Bytes good = good_wav(2205);
    Bytes garbage(3000);
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = uint8_t(i * 131 + 7);
    using namespace std::string_view_literals;
    return {
        {"empty", {}, refused},
        {"riff-only", cut(good, 4), refused},
        {"cut-in-format", cut(good, 30), refused},
        {"cut-before-data-size", cut(good, 42), 0},
        {"header-only", cut(good, 44), 0},
        {"cut-in-samples", cut(good, 44 + 400), 0.0046},
        {"data-size-lies", with32(cut(good, 44 + 400), 40, 40'000'000), 0.0046},
        {"data-size-max", with32(good, 40, 0xFFFFFFFF), 0.1},
        {"riff-size-lies", with32(good, 4, 0xFFFFFFF0), 0.1},
        {"format-size-max", with32(good, 16, 0xFFFFFFFF), 0.1},
        {"no-channels", with16(good, 22, 0), refused},
        {"channels-256", with16(good, 22, 256), refused},
        {"channels-65535", with16(good, 22, 65535), refused},
        {"rate-zero", with32(good, 24, 0), refused},
        {"rate-max", with32(good, 24, 0xFFFFFFFF), 0.1},
        {"block-align-zero", with16(good, 32, 0), refused},
        {"bits-zero", with16(good, 34, 0), 0.1},
        {"bits-13", with16(good, 34, 13), 0.1},
        {"unknown-format", with16(good, 20, 0x1234), 0.1},
        {"adpcm-garbage", with16(good, 20, 2), 0.1},
        {"loops-overcounted", with_chunk(good, "smpl", loop_table(100'000'000, 1)), refused},
        {"loops-short-table", with_chunk(good, "smpl", Bytes(24)), refused},
        {"list-without-type", with_chunk(good, "LIST", Bytes(2)), refused},
        {"info-text-without-end", with_chunk(good, "LIST", text_bytes("INFOINAM\4\0\0\0tune"sv)),
         refused},
        {"info-item-past-list",
         with_chunk(good, "LIST", text_bytes("INFOINAM\5\0\0\0tune\0\0INAM\0"sv)), refused},
        {"info-well-formed",
         with_chunk(good, "LIST", text_bytes("INFOINAM\5\0\0\0tune\0\0IART\4\0\0\0abc\0"sv)), 0.1},
        {"garbage", garbage, refused},
        {"text", text_bytes("RIFF is not what this says"), refused},
    };
}

std::string folder;

void write_files() {
    char name[] = "/tmp/bad_sound_files_XXXXXX";
    if (!mkdtemp(name)) std::abort();
    folder = name;
    for (const BadFile& f : bad_files()) {
        FILE* file = std::fopen((folder + "/" + f.name + ".wav").c_str(), "wb");
        if (!file) std::abort();
        if (!f.bytes.empty()) std::fwrite(f.bytes.data(), 1, f.bytes.size(), file);
        std::fclose(file);
    }
    // A folder where a file is expected.
    mkdir((folder + "/folder.wav").c_str(), 0755);
}

// A descriptor over `text`, which must outlive it.
RtString text_of(std::string_view text) {
    RtString s{};
    s.text = const_cast<char*>(text.data());
    s.length = uint32_t(text.size());
    return s;
}

// Opens, measures, plays to the end (or 2 s) and closes; reports the handle.
int32_t try_file(const std::string& name, const char* capabilities, double seconds_present) {
    std::string path = folder + "/" + name + ".wav";
    RtString file = text_of(path), caps = text_of(capabilities ? capabilities : "");
    int32_t handle = sound_open(&file, &caps, capabilities != nullptr);
    std::string what = name + " with " + (capabilities ? capabilities : "no capabilities");
    require(errors.error_number == 0, ("opening raises nothing: " + what).c_str());
    require(handle == 0 || seconds_present >= 0, ("refused: " + what).c_str());
    if (handle == 0) return 0;
    if (capabilities && std::strstr(capabilities, "LEN")) {
        double length = sound_length(handle);
        require(length >= 0 && length <= seconds_present + 0.001,
                ("no longer than the samples present: " + what).c_str());
    }
    sound_play(handle);
    for (uint32_t start = ticks_ms(); sound_playing(handle) && ticks_ms() - start < 2000;)
        delay(20);
    sound_close(handle);
    require(errors.error_number == 0, ("playing raises nothing: " + what).c_str());
    return handle;
}

void open_every_bad_file(int) {
    static const char* const capability_sets[] = {nullptr, "SYNC", "LEN", "SYNC,LEN"};
    std::vector<BadFile> files = bad_files();
    files.push_back({"folder", {}, refused});
    for (const BadFile& f : files) {
        std::fprintf(stderr, "%-22s", f.name);
        for (const char* caps : capability_sets)
            std::fprintf(stderr, " %s:%d", caps ? caps : "-",
                         try_file(f.name, caps, f.seconds_present));
        std::fputc('\n', stderr);
    }
    // The test body runs again in this child and wrote a folder of its own.
    std::filesystem::remove_all(folder);
    std::fputs("went on\n", stderr);
}

} // namespace

TEST(BadSoundFiles, TheMixerRefusesThemOrPlaysOnlyWhatIsThere) {
    write_files();
    EXPECT_EXIT(run_host(open_every_bad_file, sdl_platform()), ExitedWithCode(0), "went on");
    std::filesystem::remove_all(folder);
}

TEST(BadSoundFiles, TheHeadlessMixerMeasuresOnlyTheSamplesPresent) {
    write_files();
    errors.error_number = 0;
    for (const BadFile& f : bad_files()) {
        std::string path = folder + "/" + f.name + ".wav";
        RtString file = text_of(path), caps = text_of("SYNC,LEN");
        int32_t handle = sound_open(&file, &caps, true);
        EXPECT_EQ(errors.error_number, 0) << f.name;
        if (handle == 0) continue;
        EXPECT_GE(f.seconds_present, 0) << f.name;
        EXPECT_LE(sound_length(handle), f.seconds_present + 0.001) << f.name;
        sound_close(handle);
    }
    sound_stop_all();
    std::filesystem::remove_all(folder);
}
