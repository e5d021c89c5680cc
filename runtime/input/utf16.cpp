#include "runtime/input/utf16.h"

namespace {

constexpr char32_t replacement = 0xFFFD;

// Decodes one code point and moves `at` past it. A malformed sequence yields U+FFFD and
// consumes its longest valid prefix (at least one byte), so decoding always advances.
char32_t utf8_next(std::string_view text, size_t& at) {
    auto byte = [&](size_t i) { return uint8_t(text[i]); };
    uint8_t lead = byte(at++);
    if (lead < 0x80) return lead;
    int extra;
    char32_t value;
    uint8_t low = 0x80, high = 0xBF; // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1, value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2, value = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;  // no overlong forms
        if (lead == 0xED) high = 0x9F; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3, value = lead & 0x07;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F; // nothing beyond U+10FFFF
    } else {
        return replacement;
    }
    for (int i = 0; i < extra; ++i, low = 0x80, high = 0xBF) {
        if (at >= text.size() || byte(at) < low || byte(at) > high) return replacement;
        value = value << 6 | (byte(at++) & 0x3F);
    }
    return value;
}

void append_utf16(std::u16string& out, char32_t c) {
    if (c < 0x10000) {
        out += char16_t(c);
    } else {
        out += char16_t(0xD800 + ((c - 0x10000) >> 10));
        out += char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
}

} // namespace

std::u16string utf8_to_utf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t at = 0; at < text.size();) append_utf16(out, utf8_next(text, at));
    return out;
}

int32_t utf16_offset(std::string_view text, int32_t code_points) {
    int32_t units = 0;
    for (size_t at = 0; at < text.size() && code_points > 0; --code_points)
        units += utf8_next(text, at) < 0x10000 ? 1 : 2;
    return units;
}

char32_t utf16_next(std::u16string_view text, size_t& at) {
    char16_t unit = text[at++];
    if (unit < 0xD800 || unit > 0xDFFF) return unit;
    if (unit <= 0xDBFF && at < text.size() && text[at] >= 0xDC00 && text[at] <= 0xDFFF)
        return 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (text[at++] - 0xDC00);
    return replacement;
}

std::string utf16_to_utf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (size_t at = 0; at < text.size();) {
        char32_t c = utf16_next(text, at);
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | c >> 6);
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | c >> 12);
            out += char(0x80 | (c >> 6 & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | c >> 18);
            out += char(0x80 | (c >> 12 & 0x3F));
            out += char(0x80 | (c >> 6 & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}
