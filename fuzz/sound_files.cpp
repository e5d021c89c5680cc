// Opening sound files on the null mixer: any capability text with any file contents, then the
// handle operations on what came back. Error 5 or none, handle 0 whenever the open failed, the
// music stream always handle 1, and no operation on the result misbehaves.
//
// Input: byte 0 chooses (bit 0 capabilities given, bit 1 an ".mp3" name, bits 2-7 the
// operations run on the handle); byte 1 is the capability text's length; then the capability
// text; the rest is the file.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/kernel/errors.h"
#include "runtime/kernel/host_state.h"
#include "runtime/sound/sound.h"
#include "runtime/sound/sound_state.h"
#include "runtime/strings/rtstring.h"

namespace {

void check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "check failed: %s\n", what);
    std::abort();
}

RtString text_of(const std::string& text) {
    RtString s{};
    s.text = const_cast<char*>(text.data());
    s.length = uint32_t(text.size());
    return s;
}

void no_error_but_5() {
    check(errors.error_number == 0 || errors.error_number == 5, "error 5 or none");
    errors.error_number = 0;
}

// Runs the operations chosen by `bits` on `handle`, each of them on its own. A file of n bytes
// holds at most n frames at no less than one frame a second.
void exercise(int32_t handle, uint8_t bits, size_t file_size) {
    if (bits & 1) {
        double length = sound_length(handle);
        check(std::isfinite(length) && length >= -1, "a length in seconds, or -1 unmeasured");
        check(length <= double(file_size), "no longer than the file's frames");
        no_error_but_5();
    }
    if (bits & 2) {
        sound_limit(handle, 0.01);
        sound_play(handle);
        // One look: a sound limited to 0.01 s may end between two.
        int32_t playing = sound_playing(handle);
        check(playing == 0 || playing == -1, "a truth value");
        check(sound_position(handle) >= 0, "a position of 0 or more");
        no_error_but_5();
    }
    if (bits & 4) {
        sound_pause(handle);
        int32_t paused = sound_paused(handle);
        check(paused == 0 || paused == -1, "a truth value");
        sound_play(handle);
        no_error_but_5();
    }
    if (bits & 8) {
        sound_set_volume(handle, 0.5);
        sound_balance(handle, 3, 0, -4);
        no_error_but_5();
    }
    if (bits & 16) {
        int32_t copy = sound_copy(handle);
        check(copy != 1, "a copy is never the stream");
        sound_play_copy(handle, 0.25, true);
        sound_close(copy);
        no_error_but_5();
    }
    if (bits & 32) {
        sound_set_position(handle, 1.5);
        sound_loop(handle);
        no_error_but_5();
    }
    sound_close(handle);
    no_error_but_5();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const uint8_t choice = data[0];
    const size_t caps_length = std::min<size_t>(data[1], size - 2);
    const std::string capabilities(reinterpret_cast<const char*>(data + 2), caps_length);
    const uint8_t* file_bytes = data + 2 + caps_length;
    const size_t file_size = size - 2 - caps_length;

    static const std::string base = "/tmp/fuzz_sound_files_" + std::to_string(getpid());
    const std::string path = base + (choice & 2 ? ".mp3" : ".wav");
    FILE* file = std::fopen(path.c_str(), "wb");
    check(file != nullptr, "the file can be written");
    if (file_size) std::fwrite(file_bytes, 1, file_size, file);
    std::fclose(file);

    errors.error_number = 0;
    RtString name = text_of(path), caps = text_of(capabilities);
    int32_t handle = sound_open(&name, &caps, choice & 1);
    check(errors.error_number == 0 || handle == 0, "a refused open gives handle 0");
    no_error_but_5();
    bool sync = (choice & 1) && handle != 0 && handle != 1;
    check(handle == 0 || handle == 1 || sync, "without SYNC the handle is the stream's");
    exercise(handle, uint8_t(choice >> 2), file_size);
    sound_play_file(&name, choice & 4, 1, false);
    no_error_but_5();

    sound_stop_all();
    serve_sound_queue();
    errors.error_number = 0;
    host.suspend_flags.store(0);
    host.event_pending.store(0);
    std::remove(path.c_str());
    return 0;
}
