#include "runtime/sound/wav.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

using File = std::unique_ptr<FILE, int (*)(FILE*)>;

void put16(uint8_t* at, uint32_t value) {
    at[0] = uint8_t(value);
    at[1] = uint8_t(value >> 8);
}
void put32(uint8_t* at, uint32_t value) {
    put16(at, value);
    put16(at + 2, value >> 16);
}
uint32_t get16(const uint8_t* at) {
    return uint32_t(at[0]) | uint32_t(at[1]) << 8;
}
uint32_t get32(const uint8_t* at) {
    return get16(at) | get16(at + 2) << 16;
}

constexpr uint32_t format_pcm = 1;
constexpr uint32_t format_extensible = 0xFFFE;

// An information list of `bytes` bytes at `start`: its texts, each in an item of its own, are
// read up to a zero byte. Every item must lie whole inside the list, and the list must end in a
// zero byte, so that no text is read past it.
bool info_list_loadable(FILE* file, long start, long bytes) {
    uint8_t header[8], end = 1;
    if (std::fseek(file, start + bytes - 1, SEEK_SET) != 0 || std::fread(&end, 1, 1, file) != 1 ||
        end != 0)
        return false;
    for (long at = 4; at < bytes;) {
        if (at + 8 > bytes || std::fseek(file, start + at, SEEK_SET) != 0 ||
            std::fread(header, sizeof header, 1, file) != 1)
            return false;
        long size = long(get32(header + 4));
        if (size > bytes - at - 8) return false;
        at += 8 + size + (size & 1);
    }
    return true;
}

// The chunks of a RIFF file from offset 12 on, read with or without pad bytes after odd-sized
// chunks: false when one would mislead a loader.
bool chunks_loadable(FILE* file, long file_bytes, bool padded) {
    constexpr uint32_t loop_table_offset = 36, loop_count_offset = 28, loop_bytes = 24;
    long at = 12;
    uint8_t header[8], body[loop_table_offset];
    while (at + 8 <= file_bytes) {
        if (std::fseek(file, at, SEEK_SET) != 0 || std::fread(header, sizeof header, 1, file) != 1)
            return false;
        uint32_t size = get32(header + 4);
        long available = file_bytes - (at + 8);
        size_t present = std::fread(body, 1, std::min<size_t>(size, sizeof body), file);
        if (std::memcmp(header, "fmt ", 4) == 0 && present >= 16) {
            // The audio layer counts channels in one byte.
            uint32_t channels = get16(body + 2);
            if (channels == 0 || channels > 255 || get32(body + 4) == 0 || get16(body + 12) == 0)
                return false;
        } else if (std::memcmp(header, "smpl", 4) == 0) {
            if (present < loop_table_offset) return false;
            uint64_t table = std::min<uint64_t>(size, uint64_t(available)) - loop_table_offset;
            if (get32(body + loop_count_offset) > table / loop_bytes) return false;
        } else if (std::memcmp(header, "LIST", 4) == 0) {
            // A list starts with its four-letter type.
            if (present < 4) return false;
            if (std::memcmp(body, "INFO", 4) == 0 &&
                !info_list_loadable(file, at + 8, std::min(long(size), available)))
                return false;
        }
        at += 8 + long(size) + (padded ? long(size & 1) : 0);
    }
    return true;
}

} // namespace

bool wav_write(const std::string& path, const SampleBuffer& samples) {
    uint64_t data_bytes = uint64_t(samples.size()) * 2;
    if (data_bytes > 0xFFFFFFFFu - 36) return false;
    File file(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!file) return false;

    uint8_t header[44];
    std::memcpy(header, "RIFF", 4);
    put32(header + 4, uint32_t(36 + data_bytes));
    std::memcpy(header + 8, "WAVEfmt ", 8);
    put32(header + 16, 16);
    put16(header + 20, format_pcm);
    put16(header + 22, 2);
    put32(header + 24, mixer_rate_hz);
    put32(header + 28, mixer_rate_hz * mixer_frame_bytes);
    put16(header + 32, mixer_frame_bytes);
    put16(header + 34, 16);
    std::memcpy(header + 36, "data", 4);
    put32(header + 40, uint32_t(data_bytes));
    if (std::fwrite(header, sizeof header, 1, file.get()) != 1) return false;

    // Samples are little-endian in the file whatever the machine's order.
    std::vector<uint8_t> bytes(static_cast<size_t>(data_bytes));
    for (size_t i = 0; i < samples.size(); ++i) put16(&bytes[2 * i], uint16_t(samples[i]));
    if (!bytes.empty() && std::fwrite(bytes.data(), bytes.size(), 1, file.get()) != 1) return false;
    return std::fflush(file.get()) == 0;
}

bool wav_read_info(const std::string& path, WavInfo& info) {
    File file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file || std::fseek(file.get(), 0, SEEK_END) != 0) return false;
    const long file_bytes = std::ftell(file.get());
    if (file_bytes < 0 || std::fseek(file.get(), 0, SEEK_SET) != 0) return false;
    uint8_t riff[12];
    if (std::fread(riff, sizeof riff, 1, file.get()) != 1 || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0)
        return false;

    bool have_format = false, have_data = false;
    uint32_t block_align = 0, data_bytes = 0;
    uint8_t chunk[8];
    while (std::fread(chunk, sizeof chunk, 1, file.get()) == 1) {
        uint32_t size = get32(chunk + 4);
        long skip = long(size) + long(size & 1);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            uint8_t format[16];
            if (size < sizeof format || std::fread(format, sizeof format, 1, file.get()) != 1)
                return false;
            uint32_t tag = get16(format);
            info.channels = int32_t(get16(format + 2));
            info.rate_hz = int32_t(get32(format + 4));
            block_align = get16(format + 12);
            info.bits_per_sample = int32_t(get16(format + 14));
            bool usable = (tag == format_pcm || tag == format_extensible) && info.channels >= 1 &&
                          info.channels <= 8 && info.rate_hz >= 1 && info.rate_hz <= 384000 &&
                          info.bits_per_sample % 8 == 0 && info.bits_per_sample >= 8 &&
                          info.bits_per_sample <= 32 &&
                          block_align == uint32_t(info.channels * info.bits_per_sample / 8);
            if (!usable) return false;
            have_format = true;
            skip -= long(sizeof format);
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            // A header may claim more samples than the file holds; only those present count.
            long here = std::ftell(file.get());
            if (here < 0) return false;
            data_bytes = uint32_t(std::min<long>(long(size), std::max(file_bytes - here, 0L)));
            have_data = true;
        }
        if (have_format && have_data) break;
        if (std::fseek(file.get(), skip, SEEK_CUR) != 0) return false;
    }
    if (!have_format || !have_data) return false;
    info.frames = data_bytes / block_align;
    return true;
}

bool wav_loadable(const std::string& path) {
    File file(std::fopen(path.c_str(), "rb"), std::fclose);
    uint8_t riff[4];
    if (!file || std::fread(riff, sizeof riff, 1, file.get()) != 1 ||
        std::memcmp(riff, "RIFF", 4) != 0)
        return true;
    if (std::fseek(file.get(), 0, SEEK_END) != 0) return false;
    const long file_bytes = std::ftell(file.get());
    // Loaders differ in whether an odd-sized chunk is followed by a pad byte, and they read on
    // past the size the RIFF header gives: every chunk either reading could find is checked.
    return file_bytes >= 0 && chunks_loadable(file.get(), file_bytes, false) &&
           chunks_loadable(file.get(), file_bytes, true);
}
