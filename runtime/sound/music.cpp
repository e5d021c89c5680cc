// The music macro language: a text of notes, pauses and settings rendered into one melody
// buffer with the tone generator and queued as one sound.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "runtime/kernel/errors.h"
#include "runtime/sound/sound.h"
#include "runtime/sound/sound_state.h"
#include "runtime/strings/rtstring.h"

namespace {

// A melody longer than this (about 50 minutes) is refused as "Out of memory".
constexpr size_t max_melody_frames = (size_t{1} << 28) / mixer_frame_bytes;
constexpr int64_t number_ceiling = int64_t{1} << 40; // far above every range; digits stop here

// Where finished melody parts go: play_music queues them, render_music keeps them.
class MusicOutput {
  public:
    virtual ~MusicOutput() = default;
    // True when the part was taken (a full sound table drops it).
    virtual bool part(SampleBuffer&& samples) = 0;
    // In the foreground, what was taken so far has to finish before the program goes on.
    virtual void wait_mark() = 0;
};

enum class NumberState : uint8_t { none, digits, variable };

struct Pending {
    char command; // 0 when none
    bool accidental_given;
    int32_t accidental;
    uint32_t dots;
    NumberState number_state;
    int64_t number;
};

struct Melody {
    SampleBuffer samples;
    size_t offset_frames; // where the next note goes
    bool has_content;
};

char upper(uint8_t byte) {
    return char(byte >= 'a' && byte <= 'z' ? byte - 32 : byte);
}

bool is_note(char command) {
    return command >= 'A' && command <= 'G';
}
bool takes_number(char command) {
    return is_note(command) || (command != 0 && std::strchr("NOLTPV", command) != nullptr);
}
bool takes_dots(char command) {
    return is_note(command) || command == 'N' || command == 'P';
}

int32_t semitone(char letter) {
    static constexpr int32_t semitones[] = {9, 11, 0, 2, 4, 5, 7}; // A to G
    return semitones[letter - 'A'];
}

double note_frequency(int32_t index) {
    return 440 * std::exp2(index / 12.0);
}

// The bytes a variable of `type` takes; 0 for an unknown type. An n-bit field takes the
// bytes that hold its low n bits.
uint32_t variable_width(uint8_t type) {
    switch (type) {
    case 1:
    case 129: return 1;
    case 2:
    case 130: return 2;
    case 4:
    case 20:
    case 148: return 4;
    case 5:
    case 8:
    case 133: return 8;
    case 6: return 10;
    default: {
        uint32_t field = type & 0x7F;
        return field > 64 && field <= 64 + 56 ? (field - 64 + 7) / 8 : 0;
    }
    }
}

bool variable_fits(uint8_t type, uint32_t offset) {
    uint32_t width = variable_width(type);
    return width != 0 && sound.variables.base && uint64_t(offset) + width <= sound.variables.bytes;
}

// Reads the variable an "=" reference names; false when the type is unknown, the bytes lie
// outside the variable area, or the value is no number in the 32-bit range.
bool read_variable(uint8_t type, uint32_t offset, int64_t& value) {
    if (!variable_fits(type, offset)) return false;
    uint32_t width = variable_width(type);
    uint8_t bytes[10];
    std::memcpy(bytes, sound.variables.base + offset, width);

    auto take_integer = [&](auto v) {
        if (!std::in_range<int32_t>(v)) return false;
        value = int64_t(v);
        return true;
    };
    auto take_real = [&](double v) {
        if (!(v >= -2147483648.0 && v <= 2147483647.0)) return false;
        value = int64_t(std::nearbyint(v)); // ties to even
        return true;
    };
    auto load = [&](auto v) {
        std::memcpy(&v, bytes, sizeof v);
        return v;
    };
    switch (type) {
    case 1: return take_integer(load(int8_t{}));
    case 2: return take_integer(load(int16_t{}));
    case 4: return take_real(load(float{}));
    case 5: return take_integer(load(int64_t{}));
    case 8: return take_real(load(double{}));
    case 20: return take_integer(load(int32_t{}));
    case 129: return take_integer(load(uint8_t{}));
    case 130: return take_integer(load(uint16_t{}));
    case 133: return take_integer(load(uint64_t{}));
    case 148: return take_integer(load(uint32_t{}));
    case 6: { // 80-bit extended: 64-bit mantissa with its integer bit, then sign and exponent
        uint64_t mantissa = load(uint64_t{});
        uint32_t top = uint32_t(bytes[8]) | uint32_t(bytes[9]) << 8;
        int32_t exponent = int32_t(top & 0x7FFF);
        if (exponent == 0x7FFF) return false;
        double magnitude = std::ldexp(double(mantissa), std::max(exponent, 1) - 16383 - 63);
        return take_real(top & 0x8000 ? -magnitude : magnitude);
    }
    default: {                           // an n-bit field in the low bits, signed when 128 is added
        uint32_t n = (type & 0x7F) - 64; // 1 to 56
        uint64_t mask = (uint64_t{1} << n) - 1, field = 0;
        for (uint32_t i = 0; i < width; ++i) field |= uint64_t(bytes[i]) << (8 * i);
        field &= mask;
        if ((type & 0x80) && (field >> (n - 1)) & 1) return take_integer(int64_t(field | ~mask));
        return take_integer(field);
    }
    }
}

class MusicScanner {
  public:
    explicit MusicScanner(MusicOutput& output) : output_(output) {}

    // False after raising an error; nothing after the last MB has been handed on then.
    bool scan(std::string_view text) {
        size_t i = 0;
        while (i < text.size()) {
            auto byte = uint8_t(text[i]);
            if (byte == ' ') {
                ++i;
                continue;
            }
            if (pending_.command == 'M') {
                if (!mode(upper(byte))) return false;
                ++i;
            } else if (byte == '=') {
                if (!variable_number(text, i)) return false;
                i += 4;
            } else if (byte >= '0' && byte <= '9') {
                if (!digit(byte - '0')) return false;
                ++i;
            } else if (byte == '.') {
                if (!takes_dots(pending_.command)) return fail(ErrorCode::illegal_function_call);
                ++pending_.dots;
                ++i;
            } else if (byte == '+' || byte == '#' || byte == '-') {
                if (!is_note(pending_.command) || pending_.accidental_given ||
                    pending_.number_state != NumberState::none || pending_.dots != 0)
                    return fail(ErrorCode::illegal_function_call);
                pending_.accidental_given = true;
                pending_.accidental = byte == '-' ? -1 : 1;
                ++i;
            } else if (byte == ',') {
                // A comma ends a note or a pause and is consumed by it: the next one starts
                // at the same place and sounds together with it.
                if (!takes_dots(pending_.command)) return fail(ErrorCode::illegal_function_call);
                if (!complete(true)) return false;
                ++i;
            } else {
                if (pending_.command != 0 && !complete(false)) return false;
                char command = upper(byte);
                if (!is_note(command) && (command == 0 || !std::strchr("NOLTPVM<>", command)))
                    return fail(ErrorCode::illegal_function_call);
                pending_ = Pending{command};
                ++i;
            }
        }
        // The end of the text completes the last command, as a space would.
        if (pending_.command == 'M') return fail(ErrorCode::illegal_function_call);
        if (pending_.command != 0 && !complete(false)) return false;
        if (melody_.has_content && output_.part(std::move(melody_.samples))) {
            queued_ = true;
            if (!sound.music.background) output_.wait_mark();
        }
        return true;
    }

    bool queued() const { return queued_; }

  private:
    bool fail(ErrorCode error) {
        raise_error(error);
        return false;
    }

    bool digit(int32_t value) {
        if (!takes_number(pending_.command) || pending_.dots != 0 ||
            pending_.number_state == NumberState::variable)
            return fail(ErrorCode::illegal_function_call);
        pending_.number = std::min(pending_.number * 10 + value, number_ceiling);
        pending_.number_state = NumberState::digits;
        return true;
    }

    // "=" then a type byte and a 16-bit little-endian offset into the variable area.
    bool variable_number(std::string_view text, size_t at) {
        if (!takes_number(pending_.command) || pending_.number_state != NumberState::none ||
            pending_.dots != 0 || text.size() - at < 4)
            return fail(ErrorCode::illegal_function_call);
        auto type = uint8_t(text[at + 1]);
        uint32_t offset = uint32_t(uint8_t(text[at + 2])) | uint32_t(uint8_t(text[at + 3])) << 8;
        if (!read_variable(type, offset, pending_.number))
            return fail(ErrorCode::illegal_function_call);
        pending_.number_state = NumberState::variable;
        return true;
    }

    bool mode(char letter) {
        MusicSettings& settings = sound.music;
        switch (letter) {
        case 'B':
            if (!settings.background) {
                settings.background = true;
                // What came before plays in the foreground, and is waited for.
                if (melody_.has_content && output_.part(std::move(melody_.samples))) {
                    queued_ = true;
                    output_.wait_mark();
                }
                melody_ = Melody{};
            }
            break;
        case 'F': settings.background = false; break;
        case 'L': settings.gap = 0; break;
        case 'N': settings.gap = 0.125; break;
        case 'S': settings.gap = 0.25; break;
        default: return fail(ErrorCode::illegal_function_call);
        }
        pending_ = Pending{};
        return true;
    }

    // The number given, within [low, high]; `fallback` when none was given (-1: required).
    static bool argument(const Pending& p, int64_t low, int64_t high, int64_t fallback,
                         int64_t& value) {
        if (p.number_state == NumberState::none) {
            value = fallback;
            return fallback >= 0;
        }
        value = p.number;
        return value >= low && value <= high;
    }

    // The time of a note of length n (4 a quarter) at the tempo; 0 means the current length.
    static double note_seconds(int64_t n) {
        const MusicSettings& settings = sound.music;
        return (60 / settings.tempo) * (4.0 / double(n == 0 ? settings.length : n));
    }

    // Each dot adds half of what the one before it added: d, 1.5 d, 1.75 d ...
    static double dotted(double seconds, uint32_t dots) {
        return seconds * (2 - std::ldexp(1.0, -int32_t(std::min(dots, 1100u))));
    }

    // Carries out the pending command; `comma` when a comma ended it.
    bool complete(bool comma) {
        MusicSettings& settings = sound.music;
        Pending p = pending_;
        pending_ = Pending{};
        int64_t n = 0;
        switch (p.command) {
        case 'N':
            if (!argument(p, 0, 84, -1, n)) return fail(ErrorCode::illegal_function_call);
            return render_note(note_frequency(int32_t(n) - 33), dotted(note_seconds(0), p.dots),
                               comma);
        case 'P':
            if (!argument(p, 1, 64, 0, n)) return fail(ErrorCode::illegal_function_call);
            return render_pause(dotted(note_seconds(n), p.dots), comma);
        case 'O':
            if (!argument(p, 0, 6, -1, n)) return fail(ErrorCode::illegal_function_call);
            settings.octave = int32_t(n);
            return true;
        case 'L':
            if (!argument(p, 1, 64, -1, n)) return fail(ErrorCode::illegal_function_call);
            settings.length = int32_t(n);
            return true;
        case 'T':
            if (!argument(p, 32, 255, -1, n)) return fail(ErrorCode::illegal_function_call);
            settings.tempo = double(n);
            return true;
        case 'V':
            if (!argument(p, 0, 100, -1, n)) return fail(ErrorCode::illegal_function_call);
            settings.volume = int32_t(n);
            return true;
        case '<': settings.octave = std::max(settings.octave - 1, 0); return true;
        case '>': settings.octave = std::min(settings.octave + 1, 6); return true;
        default: { // a note letter
            if (!argument(p, 0, 64, 0, n)) return fail(ErrorCode::illegal_function_call);
            int32_t index = semitone(p.command) + settings.octave * 12 - 33 + p.accidental;
            return render_note(note_frequency(index), dotted(note_seconds(n), p.dots), comma);
        }
        }
    }

    bool render_note(double frequency_hz, double seconds, bool comma) {
        const MusicSettings& settings = sound.music;
        SampleBuffer note =
            tone_render(frequency_hz, (1 - settings.gap) * seconds, settings.volume / 100.0);
        if (settings.gap > 0) note.resize(note.size() + silence_bytes(settings.gap * seconds) / 2);
        return place(note.data(), note.size() / 2, comma);
    }

    bool render_pause(double seconds, bool comma) {
        return place(nullptr, silence_bytes(seconds) / mixer_frame_bytes, comma);
    }

    // Puts `frames` frames (silence when `samples` is null) at the write offset: appended at
    // the end, mixed into what is already there after a comma. Silence never changes samples
    // that are there; it only makes the melody long enough.
    bool place(const int16_t* samples, size_t frames, bool comma) {
        size_t offset = melody_.offset_frames;
        size_t old_frames = melody_.samples.size() / 2;
        size_t end = std::max(old_frames, offset + frames);
        if (end > max_melody_frames) return fail(ErrorCode::out_of_memory);
        melody_.samples.resize(end * 2);
        if (samples) {
            int16_t* target = melody_.samples.data() + offset * 2;
            size_t mixed = std::min(frames, old_frames - offset) * 2;
            for (size_t k = 0; k < mixed; ++k)
                target[k] = int16_t(std::clamp(target[k] + samples[k], -32767, 32767));
            std::memcpy(target + mixed, samples + mixed, (frames * 2 - mixed) * sizeof(int16_t));
        }
        melody_.has_content = true;
        if (!comma) melody_.offset_frames += frames;
        return true;
    }

    MusicOutput& output_;
    Melody melody_{};
    Pending pending_{};
    bool queued_ = false;
};

class QueueOutput final : public MusicOutput {
  public:
    bool part(SampleBuffer&& samples) override {
        int32_t handle = sound_from_samples(std::move(samples));
        return handle != 0 && queue_append(handle, false);
    }
    void wait_mark() override {
        // A full table leaves a bare mark, so the wait still ends when the melody has played.
        queue_append(sound_from_samples(SampleBuffer(2, 0)), true);
    }
};

class BufferOutput final : public MusicOutput {
  public:
    bool part(SampleBuffer&& samples) override {
        if (melody.empty())
            melody = std::move(samples);
        else
            melody.insert(melody.end(), samples.begin(), samples.end());
        return true;
    }
    void wait_mark() override {}
    SampleBuffer melody;
};

} // namespace

int32_t play_music(const RtString* text) {
    audio_init();
    if (error_pending()) return 0;
    QueueOutput output;
    MusicScanner scanner(output);
    scanner.scan(text ? text->view() : std::string_view());
    return scanner.queued() ? -1 : 0;
}

SampleBuffer render_music(std::string_view text) {
    BufferOutput output;
    if (!error_pending()) MusicScanner(output).scan(text);
    return std::move(output.melody);
}

void music_variable_area(const void* base, uint32_t bytes) {
    sound.variables = {static_cast<const uint8_t*>(base), bytes};
}

RtString* music_var_ref(const void* variable, uint8_t type) {
    if (error_pending()) return nullptr;
    auto address = reinterpret_cast<uintptr_t>(variable);
    auto base = reinterpret_cast<uintptr_t>(sound.variables.base);
    // The reference must name a known type whose bytes lie inside the area.
    if (address < base || address - base > 0xFFFF ||
        !variable_fits(type, uint32_t(address - base))) {
        raise_error(ErrorCode::illegal_function_call);
        return nullptr;
    }
    auto offset = uint32_t(address - base);
    RtString* reference = str_new(3, true);
    reference->text[0] = char(type);
    reference->text[1] = char(offset & 0xFF);
    reference->text[2] = char(offset >> 8);
    return reference;
}
