#include "runtime/input/line_editor.h"

#include <locale.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "runtime/input/key_read.h"
#include "runtime/kernel/errors.h"
#include "runtime/kernel/host_state.h"
#include "runtime/kernel/kernel.h"
#include "runtime/screen/fonts.h"
#include "runtime/screen/images.h"
#include "runtime/screen/modes.h"
#include "runtime/screen/text_output.h"
#include "runtime/strings/random_timer.h"
#include "runtime/strings/rtstring.h"

LineEditorState line_editor;

namespace {

constexpr size_t max_line_length = 255;
constexpr uint32_t cursor_blink_bit = 512; // of the millisecond count: a 1,024 ms period

// ---- Checking one field ------------------------------------------------------------------

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

uint32_t size_of(uint32_t type) {
    return type & input_size_bits;
}

uint64_t all_ones(uint32_t bits) {
    return bits >= 64 ? ~uint64_t{0} : (uint64_t{1} << bits) - 1;
}

// Accumulates `digits` in `base`; false once the value would pass `limit`.
bool accumulate(std::string_view digits, uint32_t base, uint64_t limit, uint64_t& value) {
    value = 0;
    for (char c : digits) {
        uint32_t digit;
        if (is_digit(c))
            digit = uint32_t(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = uint32_t(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = uint32_t(c - 'A' + 10);
        else
            return false;
        if (digit >= base || value > (limit - digit) / base) return false;
        value = value * base + digit;
    }
    return true;
}

// "&H" hexadecimal and "&O" octal forms (the field starts with "&"); while typing, "&" and the
// bare prefixes stand for 0. The digits may not outnumber those of the largest value.
bool radix_value(std::string_view field, uint32_t bits, uint64_t& value) {
    value = 0;
    if (field.size() == 1) return true;
    char letter = field[1];
    uint32_t base = letter == 'H' || letter == 'h' ? 16 : letter == 'O' || letter == 'o' ? 8 : 0;
    if (base == 0) return false;
    uint32_t max_digits = base == 16 ? (bits + 3) / 4 : (bits + 2) / 3;
    std::string_view digits = field.substr(2);
    return digits.size() <= max_digits && accumulate(digits, base, all_ones(bits), value);
}

InputFieldValue integer_value(std::string_view field, uint32_t type) {
    uint32_t bits = size_of(type);
    InputFieldValue result{};
    if (!field.empty() && field[0] == '&') {
        result.valid = radix_value(field, bits, result.integer);
        return result;
    }
    bool negative = !field.empty() && field[0] == '-';
    if (negative && (type & input_unsigned)) return result;
    std::string_view digits = field.substr(negative ? 1 : 0);
    if (digits.size() > 1 && digits[0] == '0') return result;
    uint64_t limit = (type & input_unsigned) ? all_ones(bits)
                     : negative              ? uint64_t{1} << (bits - 1)
                                             : all_ones(bits - 1);
    uint64_t value;
    if (!accumulate(digits, 10, limit, value)) return result;
    result.valid = true;
    result.integer = negative ? 0 - value : value;
    return result;
}

// The written form of a decimal number, all parts optional while it is being typed:
// [-] (0 | 1-9 digits) [. digits] [E [+|-] (0 | 1-9 digits)].
struct DecimalForm {
    std::string_view integer; // without a lone 0, which carries no digit's weight
    std::string_view fraction;
    bool integer_zero; // a lone 0 before the point
    int64_t exponent;  // saturated far beyond any limit
};

constexpr int64_t exponent_cap = 1'000'000'000;

bool read_decimal(std::string_view field, bool d_exponent, DecimalForm& form) {
    form = {};
    size_t i = 0, n = field.size();
    auto digits_from = [&](size_t start) {
        while (i < n && is_digit(field[i])) ++i;
        return field.substr(start, i - start);
    };
    if (i < n && field[i] == '-') ++i;
    if (i < n && field[i] == '0') {
        form.integer_zero = true;
        if (++i < n && is_digit(field[i])) return false;
    } else {
        form.integer = digits_from(i);
    }
    if (i < n && field[i] == '.') {
        ++i;
        form.fraction = digits_from(i);
    }
    if (i == n) return true;
    char letter = field[i];
    bool exponent_letter =
        letter == 'E' || letter == 'e' || (d_exponent && (letter == 'D' || letter == 'd'));
    bool has_weight = !form.integer.empty() || form.integer_zero ||
                      form.fraction.find_first_not_of('0') != std::string_view::npos;
    if (!exponent_letter || !has_weight) return false;
    ++i;
    bool negative = false;
    if (i < n && (field[i] == '-' || field[i] == '+')) negative = field[i++] == '-';
    std::string_view digits = digits_from(i);
    if (i != n || (digits.size() > 1 && digits[0] == '0')) return false;
    for (char c : digits) form.exponent = std::min(form.exponent * 10 + (c - '0'), exponent_cap);
    if (negative) form.exponent = -form.exponent;
    return true;
}

struct FloatLimits {
    int64_t fraction_zeros; // leading fraction zeros must stay below this
    int64_t max_x;
    std::string_view max_digits;
    int64_t min_x;
    std::string_view min_digits;
    size_t digit_limit;
};
constexpr FloatLimits single_limits{44, 39, "3402823", -44, "1401298", 8};
constexpr FloatLimits double_limits{323, 309, "17976931", -323, "4940656", 16};

// -1, 0 or 1 as the first differing digit of `digits` is below, equal to or above `bound`'s.
int compare_leading(std::string_view digits, std::string_view bound) {
    for (size_t i = 0; i < std::min(digits.size(), bound.size()); ++i)
        if (digits[i] != bound[i]) return digits[i] < bound[i] ? -1 : 1;
    return 0;
}

// Whether the number stays within the type's range and precision. X is the decimal exponent
// of the number written as 0.ddd x 10^X.
bool within_limits(const DecimalForm& form, const FloatLimits& limits) {
    std::string_view fraction = form.fraction == "0" ? std::string_view{} : form.fraction;
    size_t zeros = std::min(fraction.find_first_not_of('0'), fraction.size());
    if (int64_t(zeros) >= limits.fraction_zeros) return false;
    bool nonzero = !form.integer.empty() || zeros < fraction.size();
    if (!nonzero) return true;
    std::string significant(form.integer);
    significant += fraction.substr(form.integer.empty() ? zeros : 0);
    int64_t x =
        (form.integer.empty() ? -int64_t(zeros) : int64_t(form.integer.size())) + form.exponent;
    if (x > limits.max_x ||
        (x == limits.max_x && compare_leading(significant, limits.max_digits) > 0))
        return false;
    if (!fraction.empty()) {
        size_t digits =
            form.integer.empty() ? fraction.size() - zeros : form.integer.size() + fraction.size();
        if (digits > limits.digit_limit) return false;
    }
    return x > limits.min_x ||
           (x == limits.min_x && compare_leading(significant, limits.min_digits) >= 0);
}

locale_t c_locale() {
    static locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return locale;
}

InputFieldValue float_value(std::string_view field, uint32_t type) {
    uint32_t bits = size_of(type);
    InputFieldValue result{};
    if (!field.empty() && field[0] == '&') {
        uint64_t value;
        result.valid = radix_value(field, 64, value);
        result.single = float(value);
        result.real = double(value);
        result.extended = static_cast<long double>(value);
        return result;
    }
    DecimalForm form;
    if (!read_decimal(field, bits != 32, form)) return result;
    if (bits != 256 && !within_limits(form, bits == 32 ? single_limits : double_limits))
        return result;
    // The standard conversion, with the double's exponent letter D read as E. A form it
    // cannot read yet ("-", ".") stands for 0.
    std::string text(field);
    for (char& c : text)
        if (c == 'D' || c == 'd') c = 'E';
    // A value that passes the range check's digit comparison but still rounds beyond the
    // type's largest number is refused: it would be stored as infinity.
    if (bits == 32) {
        result.single = strtof_l(text.c_str(), nullptr, c_locale());
        result.valid = std::isfinite(result.single);
    } else if (bits == 64) {
        result.real = strtod_l(text.c_str(), nullptr, c_locale());
        result.valid = std::isfinite(result.real);
    } else {
        result.extended = strtold_l(text.c_str(), nullptr, c_locale());
        result.valid = std::isfinite(result.extended);
    }
    return result;
}

// ---- Targets ----------------------------------------------------------------------------

bool type_valid(uint32_t type) {
    uint32_t bits = size_of(type);
    if (type & input_string) return true;
    if (type & input_float) return bits == 32 || bits == 64 || bits == 256;
    return bits == 8 || bits == 16 || bits == 32 || bits == 64;
}

size_t storage_bytes(uint32_t type) {
    uint32_t bits = size_of(type);
    return (type & input_float) && bits == 256 ? sizeof(long double) : bits / 8;
}

void store(void* target, uint32_t type, const InputFieldValue& value) {
    if (type & input_untouched) return;
    if (!(type & input_float)) {
        std::memcpy(target, &value.integer, storage_bytes(type));
    } else if (size_of(type) == 32) {
        std::memcpy(target, &value.single, sizeof value.single);
    } else if (size_of(type) == 64) {
        std::memcpy(target, &value.real, sizeof value.real);
    } else {
        std::memcpy(target, &value.extended, sizeof value.extended);
    }
}

void clear_target(void* target, uint32_t type) {
    if (type & input_string) {
        auto* string = static_cast<RtString*>(target);
        if (string->is_fixed)
            std::memset(string->text, ' ', string->length);
        else
            str_assign(string, null_string());
    } else if (!(type & input_untouched)) {
        std::memset(target, 0, storage_bytes(type));
    }
}

// The field being typed: the last one of the line, and which target it feeds.
struct CurrentField {
    bool valid;
    int32_t target;
    std::string text;
};

CurrentField current_field(std::string_view line, int32_t count, bool line_mode) {
    CurrentField field{true, 1, {}};
    if (line_mode) {
        field.text = line;
        return field;
    }
    enum { unquoted, quoted, closed } quote = unquoted;
    bool at_start = true;
    for (char c : line) {
        if (c == ',' && quote != quoted) {
            if (++field.target > count) return {false, 0, {}};
            field.text.clear();
            quote = unquoted;
            at_start = true;
        } else if (c == '"' && quote == quoted) {
            quote = closed;
        } else if (quote == closed) {
            return {false, 0, {}};
        } else if (c == '"' && at_start) {
            quote = quoted;
            at_start = false;
        } else {
            field.text += c;
            at_start = false;
        }
    }
    return field;
}

// ---- The editor -------------------------------------------------------------------------

// Checks the field being typed and stores its value into its target.
bool check_line(InputEditor& editor) {
    CurrentField field = current_field(editor.line, editor.count, editor.line_mode);
    if (!field.valid) return false;
    void* target = line_editor.input_targets[field.target];
    uint32_t type = line_editor.input_types[field.target];
    if (type & input_string) {
        auto* string = static_cast<RtString*>(target);
        if (string->is_fixed && field.text.size() > string->length) return false;
        str_assign(string, str_new_literal(field.text.data(), uint32_t(field.text.size())));
        return true;
    }
    InputFieldValue value = input_field_value(field.text, type);
    if (value.valid) store(target, type, value);
    return value.valid;
}

// Prints the line again over the snapshot, so that wrapping and scrolling come out exactly
// as when it was typed, and puts the result on the page.
void redraw(InputEditor& editor) {
    ImageHandle page = screen.destination_handle;
    page_copy(editor.snapshot, editor.work);
    set_dest(editor.work);
    ImageRecord& work = *screen.destination;
    work.cursor_col = editor.start_col;
    work.cursor_row = editor.start_row;
    work.wrap_pending = editor.start_wrap_pending;
    for (char c : editor.line) print_chars({&c, 1}, false);
    select_destination(page);
    page_copy(editor.work, -int32_t(page));
    ImageRecord& shown = *screen.destination;
    shown.cursor_col = work.cursor_col;
    shown.cursor_row = work.cursor_row;
    // A line that now ends in the last column must wrap before the next key's glyph.
    shown.wrap_pending = work.wrap_pending;
}

// Takes back characters until the line passes the check; the line that does is accepted.
void settle(InputEditor& editor) {
    while (!check_line(editor) && !editor.line.empty()) {
        editor.line.pop_back();
        redraw(editor);
    }
    editor.accepted = editor.line;
}

void type_character(InputEditor& editor, char key) {
    if (editor.accepted.size() >= max_line_length) return;
    editor.accepted += key;
    print_chars({&key, 1}, false);
    editor.line = editor.accepted;
}

// Graphics pages have no text cursor of their own: the editor inverts the cursor's cell.
void toggle_cursor(InputEditor::SoftwareCursor& cursor, ImageRecord& page) {
    for (uint32_t y = cursor.y; y < cursor.y + cursor.height && y < page.height; ++y) {
        for (uint32_t x = cursor.x; x < cursor.x + cursor.width && x < page.width; ++x) {
            size_t index = size_t(y) * page.width + x;
            uint32_t pixel = pixel_load(page, index) ^ uint32_t(page.foreground);
            pixel_store(page, index, page.bytes_per_pixel == 1 ? pixel & page.colour_mask : pixel);
        }
    }
    cursor.drawn = !cursor.drawn;
}

void hide_cursor(InputEditor& editor) {
    if (editor.cursor.drawn) toggle_cursor(editor.cursor, *screen.destination);
}

// Fonts and modes whose software cursor is a blinking bar: loaded fonts and image-only modes.
bool narrow_cursor(const ImageRecord& page) {
    return page.font > 31 || !image_mode(page.compat_mode).screen;
}

// When the software cursor next changes: at the next turn of the blink bit for a blinking
// cursor, never otherwise.
HostClock::time_point next_cursor_change() {
    const ImageRecord& page = *screen.destination;
    if (page.text_page || !narrow_cursor(page)) return HostClock::time_point::max();
    uint32_t left_ms = cursor_blink_bit - ticks_ms() % cursor_blink_bit;
    return HostClock::now() + std::chrono::milliseconds(left_ms);
}

// The next key of one character (extended keys are passed over); false when the editing is
// to be left at once.
bool read_key(InputEditor& editor, uint8_t& key) {
    for (;;) {
        if (host.stop_all.load() || error_pending()) return false;
        input_cursor_update(editor);
        key_wait(KeyWaitEnds::key_or_stop, next_cursor_change());
        RtString* read = inkey();
        bool one_character = str_len(read) == 1;
        if (one_character) key = uint8_t(read->text[0]);
        temp_release(editor.mark, 0);
        if (host.stop_all.load() || error_pending()) return false;
        if (one_character) return true;
    }
}

bool targets_valid(int32_t count) {
    if (count < 1 || count > max_input_targets) return false;
    for (int32_t i = 1; i <= count; ++i)
        if (!type_valid(line_editor.input_types[i]) || !line_editor.input_targets[i]) return false;
    return true;
}

} // namespace

InputFieldValue input_field_value(std::string_view field, uint32_t type) {
    return (type & input_float) ? float_value(field, type) : integer_value(field, type);
}

bool input_begin(InputEditor& editor, int32_t count, bool newline) {
    if (error_pending()) return false;
    if (!targets_valid(count)) {
        raise_error(ErrorCode::illegal_function_call);
        return false;
    }
    editor = {};
    editor.count = count;
    editor.newline = newline;
    editor.autodisplay = host.autodisplay.exchange(1);
    editor.source = screen.source_handle;
    select_source(screen.destination_handle);
    editor.snapshot = image_copy(0, false);
    if (editor.snapshot == -1) raise_error(ErrorCode::input_snapshot_failed);
    editor.work = image_copy(0, false);
    if (editor.work == -1) raise_error(ErrorCode::input_work_page_failed);
    ImageRecord& page = *screen.destination;
    editor.start_col = page.cursor_col;
    editor.start_row = page.cursor_row;
    editor.start_wrap_pending = page.wrap_pending;
    editor.mark = temp_mark();
    uint32_t first = line_editor.input_types[1];
    editor.line_mode = (first & input_string) && (first & input_line_mode);
    editor.cursor_visible = page.cursor_visible;
    page.cursor_visible = 1;
    for (int32_t i = 1; i <= count; ++i)
        clear_target(line_editor.input_targets[i], line_editor.input_types[i]);
    settle(editor);
    return true;
}

bool input_key(InputEditor& editor, uint8_t key) {
    hide_cursor(editor);
    switch (key) {
    case 7: print_chars("\a", false); break;
    case 10:
    case 11:
    case 12:
    case 28:
    case 29:
    case 30:
    case 31: break;
    case 9:
        // Spaces up to the next multiple of 8 characters, each checked as if typed.
        for (size_t n = 8 - editor.accepted.size() % 8; n > 0; --n) {
            type_character(editor, ' ');
            settle(editor);
        }
        return false;
    case 8:
        if (editor.line.empty()) return false;
        editor.line.pop_back();
        redraw(editor);
        break;
    case 13:
        if (editor.newline) print_chars("", true);
        input_end(editor);
        if (editor.autodisplay == 0) {
            // One refresh shows the finished line before the program takes over again.
            host.autodisplay.store(-1);
            host_wait([] { return host.autodisplay.load() == 0 || host.stop_all.load(); });
        }
        return true;
    default: type_character(editor, char(key)); break;
    }
    settle(editor);
    return false;
}

void input_cursor_update(InputEditor& editor) {
    ImageRecord& page = *screen.destination;
    if (page.text_page) return;
    bool narrow = narrow_cursor(page);
    bool wanted = !narrow || (ticks_ms() & cursor_blink_bit) == 0;
    if (wanted == editor.cursor.drawn) return;
    if (wanted) {
        uint32_t cell_width = text_column_width(page.font);
        uint32_t cell_height = text_row_height(page.font);
        editor.cursor = {false, (page.cursor_col - 1u) * cell_width,
                         (page.cursor_row - 1u) * cell_height, narrow ? 1 : cell_width,
                         cell_height};
    }
    toggle_cursor(editor.cursor, page);
}

void input_end(InputEditor& editor) {
    hide_cursor(editor);
    screen.destination->cursor_visible = editor.cursor_visible;
    image_free(editor.snapshot, true);
    image_free(editor.work, true);
    select_source(editor.source);
}

void input_values(int32_t count, bool newline) {
    InputEditor editor;
    if (!input_begin(editor, count, newline)) return;
    for (;;) {
        uint8_t key = 0;
        if (!read_key(editor, key)) {
            input_end(editor);
            return;
        }
        if (input_key(editor, key)) return;
    }
}

namespace {

// The seed prompt: the editor reads one signed 16-bit value after the prompt.
int16_t ask_seed() {
    int16_t seed = 0;
    print_chars(seed_prompt_text, false);
    line_editor.input_targets[1] = &seed;
    line_editor.input_types[1] = 16;
    input_values(1, true);
    return seed;
}

} // namespace

void line_editor_attach() {
    random_timer.random.ask_seed = ask_seed;
}
