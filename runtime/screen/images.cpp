#include "runtime/screen/images.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "runtime/kernel/errors.h"
#include "runtime/kernel/refresh.h"
#include "runtime/screen/drawing.h"
#include "runtime/screen/fonts.h"
#include "runtime/screen/modes.h"
#include "runtime/screen/palettes.h"

ScreenState screen;

namespace {

ImageTable& table = screen.table;

size_t memory_bytes(const ImageRecord& image) {
    return size_t(image.width) * image.height * image.bytes_per_pixel;
}

size_t element_count(const ImageRecord& image) {
    return size_t(image.width) * image.height;
}

void clear_memory(ImageRecord& image) {
    pixels_fill(image, 0, element_count(image), image.text_page ? blank_text_cell : 0);
}

// Every field a fresh image of its mode starts with; what identifies the image (handle,
// size, memory, palette, flags, mode) stays.
void apply_mode_defaults(ImageRecord& image) {
    ImageRecord fresh{};
    fresh.in_use = image.in_use;
    fresh.width = image.width;
    fresh.height = image.height;
    fresh.pixels = image.pixels;
    fresh.flags = image.flags;
    fresh.palette = image.palette;
    fresh.compat_mode = image.compat_mode;
    const ModeInfo& info = image_mode(image.compat_mode);
    fresh.text_page = info.text;
    fresh.bytes_per_pixel = std::max(1, info.bits_per_pixel / 8);
    fresh.bits_per_pixel = info.bits_per_pixel;
    fresh.colour_mask = info.bits_per_pixel >= 32 ? ~0u : (1u << info.bits_per_pixel) - 1;
    fresh.font = info.font;
    fresh.foreground = info.foreground;
    fresh.background = info.background;
    fresh.draw_colour = uint32_t(info.foreground);
    fresh.print_mode = 3;
    fresh.draw_angle = 0;
    fresh.draw_scale = 1.0;
    fresh.clear_colour = fresh.palette ? -1 : 0;
    if (info.text) {
        fresh.cursor_start = 4;
        fresh.cursor_stop = 4;
    } else {
        fresh.last_x = float(fresh.width / 2);
        fresh.last_y = float(fresh.height / 2);
        fresh.view_x2 = fresh.width - 1;
        fresh.view_y2 = fresh.height - 1;
        fresh.scale_x = 1;
        fresh.scale_y = 1;
        fresh.window_x2 = float(fresh.width - 1);
        fresh.window_y2 = float(fresh.height - 1);
    }
    image = fresh;
    font_select(image.font, image);
}

// Reselects the display page for the destination and source that name a dying image.
void forget_selection(ImageHandle handle) {
    if (screen.destination_handle == handle) select_destination(screen.display_handle);
    if (screen.source_handle == handle) select_source(screen.display_handle);
}

bool grow_table() {
    if (table.chunk_count == image_table_chunks) {
        raise_error(ErrorCode::image_table_full);
        return false;
    }
    auto* chunk = new (std::nothrow) ImageRecord[image_table_step]();
    if (!chunk) {
        raise_error(ErrorCode::image_table_full);
        return false;
    }
    // The free stack can never hold more handles than the table has, so it grows alongside.
    uint32_t capacity = table.free_capacity + image_table_step;
    auto* stack = static_cast<uint32_t*>(std::realloc(table.free_stack, capacity * 4));
    if (!stack) {
        delete[] chunk;
        raise_error(ErrorCode::image_free_stack_full);
        return false;
    }
    table.free_stack = stack;
    table.free_capacity = capacity;
    table.chunks[table.chunk_count++] = chunk;
    return true;
}

ImageRecord* query_image(int32_t image, bool image_given) {
    if (error_pending()) return nullptr;
    return image_arg(image, image_given);
}

} // namespace

namespace {

// Page memory in bulk: aligned 8-byte words, read and written with relaxed atomics like the
// single elements (the words may overlay elements of another type).
using Word [[gnu::may_alias]] = uint64_t;
constexpr size_t word_bytes = sizeof(Word);

bool word_aligned(const void* at) {
    return reinterpret_cast<uintptr_t>(at) % word_bytes == 0;
}

// Whether source and target lie at the same offset within a word, so that words can move.
bool same_word_offset(const void* to, const void* from) {
    return (reinterpret_cast<uintptr_t>(to) - reinterpret_cast<uintptr_t>(from)) % word_bytes == 0;
}

Word word_load(const Word* at) {
    return __atomic_load_n(at, __ATOMIC_RELAXED);
}

void word_store(Word* at, Word word) {
    __atomic_store_n(at, word, __ATOMIC_RELAXED);
}

template <class T> T element_load(const T* at) {
    return __atomic_load_n(at, __ATOMIC_RELAXED);
}

template <class T> void element_store(T* at, T value) {
    __atomic_store_n(at, value, __ATOMIC_RELAXED);
}

// Runs of whole words. On x86-64 processors with AVX they go four words to an instruction: a
// vector access of 8-byte aligned words reads or writes each word whole, as the relaxed word
// access does, and the assembly keeps the compiler from splitting or merging it. Under the
// thread sanitizer they stay single atomic words, which it can follow.
#if defined(__x86_64__) && !defined(__SANITIZE_THREAD__)
constexpr size_t block_words = 8;

bool blocks_supported() {
    static const bool avx = __builtin_cpu_supports("avx");
    return avx;
}

[[gnu::target("avx")]] void blocks_up(Word* to, const Word* from, size_t blocks) {
    for (; blocks > 0; --blocks, to += block_words, from += block_words)
        asm volatile("vmovdqu (%1), %%ymm0\n\tvmovdqu 32(%1), %%ymm1\n\t"
                     "vmovdqu %%ymm0, (%0)\n\tvmovdqu %%ymm1, 32(%0)"
                     :
                     : "r"(to), "r"(from)
                     : "xmm0", "xmm1", "memory");
    asm volatile("vzeroupper" ::: "memory");
}

[[gnu::target("avx")]] void blocks_down(Word* to_end, const Word* from_end, size_t blocks) {
    for (; blocks > 0; --blocks) {
        to_end -= block_words;
        from_end -= block_words;
        asm volatile("vmovdqu 32(%1), %%ymm1\n\tvmovdqu (%1), %%ymm0\n\t"
                     "vmovdqu %%ymm1, 32(%0)\n\tvmovdqu %%ymm0, (%0)"
                     :
                     : "r"(to_end), "r"(from_end)
                     : "xmm0", "xmm1", "memory");
    }
    asm volatile("vzeroupper" ::: "memory");
}

[[gnu::target("avx")]] void blocks_fill(Word* to, size_t blocks, Word word) {
    asm volatile("vbroadcastsd %0, %%ymm0" : : "m"(word) : "xmm0");
    for (; blocks > 0; --blocks, to += block_words)
        asm volatile("vmovdqu %%ymm0, (%0)\n\tvmovdqu %%ymm0, 32(%0)"
                     :
                     : "r"(to)
                     : "xmm0", "memory");
    asm volatile("vzeroupper" ::: "memory");
}
#else
constexpr size_t block_words = 1;

bool blocks_supported() {
    return false;
}

void blocks_up(Word*, const Word*, size_t) {}
void blocks_down(Word*, const Word*, size_t) {}
void blocks_fill(Word*, size_t, Word) {}
#endif

// `words` words from `from` to `to`, low addresses first (`to` may be private memory, at any
// alignment).
void words_up(Word* to, const Word* from, size_t words) {
    if (blocks_supported()) {
        blocks_up(to, from, words / block_words);
        to += words / block_words * block_words;
        from += words / block_words * block_words;
        words %= block_words;
    }
    for (; words > 0; --words, ++to, ++from) {
        if (word_aligned(to)) {
            word_store(to, word_load(from));
        } else {
            const Word word = word_load(from);
            std::memcpy(static_cast<void*>(to), &word, word_bytes);
        }
    }
}

// The words below `to_end` from those below `from_end`, high addresses first.
void words_down(Word* to_end, const Word* from_end, size_t words) {
    if (blocks_supported()) {
        blocks_down(to_end, from_end, words / block_words);
        to_end -= words / block_words * block_words;
        from_end -= words / block_words * block_words;
        words %= block_words;
    }
    for (; words > 0; --words) word_store(--to_end, word_load(--from_end));
}

void words_fill(Word* to, size_t words, Word word) {
    if (blocks_supported()) {
        blocks_fill(to, words / block_words, word);
        to += words / block_words * block_words;
        words %= block_words;
    }
    for (; words > 0; --words) word_store(to++, word);
}

template <class T> Word* word_at(T* at) {
    return reinterpret_cast<Word*>(at);
}

template <class T> const Word* word_at(const T* at) {
    return reinterpret_cast<const Word*>(at);
}

template <class T> void fill_as(T* at, size_t count, T value) {
    constexpr size_t per_word = word_bytes / sizeof(T);
    for (; count > 0 && !word_aligned(at); --count) element_store(at++, value);
    Word word = value;
    for (size_t bits = sizeof(T) * 8; bits < word_bytes * 8; bits *= 2) word |= word << bits;
    words_fill(word_at(at), count / per_word, word);
    at += count / per_word * per_word;
    for (count %= per_word; count > 0; --count) element_store(at++, value);
}

// Low addresses first: right for targets below their sources.
template <class T> void move_up_as(T* to, const T* from, size_t count) {
    constexpr size_t per_word = word_bytes / sizeof(T);
    if (same_word_offset(to, from)) {
        for (; count > 0 && !word_aligned(to); --count) element_store(to++, element_load(from++));
        words_up(word_at(to), word_at(from), count / per_word);
        to += count / per_word * per_word;
        from += count / per_word * per_word;
        count %= per_word;
    }
    for (; count > 0; --count) element_store(to++, element_load(from++));
}

// High addresses first: right for targets above their sources.
template <class T> void move_down_as(T* to, const T* from, size_t count) {
    constexpr size_t per_word = word_bytes / sizeof(T);
    T* to_end = to + count;
    const T* from_end = from + count;
    if (same_word_offset(to, from)) {
        for (; count > 0 && !word_aligned(to_end); --count)
            element_store(--to_end, element_load(--from_end));
        words_down(word_at(to_end), word_at(from_end), count / per_word);
        to_end -= count / per_word * per_word;
        from_end -= count / per_word * per_word;
        count %= per_word;
    }
    for (; count > 0; --count) element_store(--to_end, element_load(--from_end));
}

template <class T> void read_as(const T* from, size_t count, T* out) {
    constexpr size_t per_word = word_bytes / sizeof(T);
    for (; count > 0 && !word_aligned(from); --count) *out++ = element_load(from++);
    words_up(word_at(out), word_at(from), count / per_word);
    out += count / per_word * per_word;
    from += count / per_word * per_word;
    for (count %= per_word; count > 0; --count) *out++ = element_load(from++);
}

// Calls `run` with the element type of the image's pixel size: the switch once per run.
template <class Run>
[[gnu::always_inline]] inline void by_element_type(const ImageRecord& image, Run run) {
    switch (image.bytes_per_pixel) {
    case 1: run(uint8_t{}); break;
    case 2: run(uint16_t{}); break;
    default: run(uint32_t{}); break;
    }
}

template <class T> T* elements(const ImageRecord& image) {
    return reinterpret_cast<T*>(image.pixels);
}

} // namespace

// The text rows of an image shorter than one row reach past its memory: fills and moves clip
// to it.
void pixels_fill(ImageRecord& image, size_t first, size_t count, uint32_t value) {
    const size_t total = element_count(image);
    count = first < total ? std::min(count, total - first) : 0;
    by_element_type(image,
                    [&]<class T>(T) { fill_as(elements<T>(image) + first, count, T(value)); });
}

void pixels_move(ImageRecord& image, size_t to, size_t from, size_t count) {
    const size_t total = element_count(image), furthest = std::max(to, from);
    count = furthest < total ? std::min(count, total - furthest) : 0;
    by_element_type(image, [&]<class T>(T) {
        T* base = elements<T>(image);
        if (to < from)
            move_up_as(base + to, base + from, count);
        else if (to > from)
            move_down_as(base + to, base + from, count);
    });
}

void pixels_copy(ImageRecord& to, const ImageRecord& from, size_t count) {
    by_element_type(to, [&]<class T>(T) { move_up_as(elements<T>(to), elements<T>(from), count); });
}

void pixels_read(const ImageRecord& image, size_t first, size_t count, void* out) {
    by_element_type(image, [&]<class T>(T) {
        read_as(elements<T>(image) + first, count, static_cast<T*>(out));
    });
}

void images_init() {
    for (ImageHandle handle = 2; handle < table.next_new; ++handle) {
        if (image_record(handle).in_use) image_destroy(handle);
    }
    for (uint32_t c = 0; c < table.chunk_count; ++c)
        std::fill_n(table.chunks[c], image_table_step, ImageRecord{});
    table.next_new = 0;
    table.free_count = 0;
    screen.pages.clear();
    screen.destination = screen.source = nullptr;
    screen.destination_handle = screen.source_handle = screen.display_handle = 0;
    screen.display_page.store(nullptr);
    screen.active_page_number = 0;
    screen.screen_is_user_image = 0;
    screen.width_request = {-1, -1, -1};
    screen.printer_width = 80;
    handle_alloc();
    handle_alloc();
}

ImageRecord& image_record(ImageHandle handle) {
    return table.chunks[handle / image_table_step][handle % image_table_step];
}

bool handle_valid(int64_t handle) {
    return handle >= 2 && handle < table.next_new && image_record(ImageHandle(handle)).in_use;
}

ImageHandle handle_alloc() {
    ImageHandle handle;
    if (table.free_count > 0) {
        handle = table.free_stack[--table.free_count];
    } else {
        if (table.next_new == table.chunk_count * image_table_step && !grow_table()) return 0;
        handle = table.next_new++;
    }
    image_record(handle).in_use = 1;
    return handle;
}

int32_t handle_release(ImageHandle handle) {
    if (handle >= table.next_new || !image_record(handle).in_use) return 0;
    table.free_stack[table.free_count++] = handle;
    image_record(handle) = ImageRecord{};
    return 1;
}

ImageHandle image_create(uint8_t* memory, int32_t width, int32_t height, int32_t mode) {
    if (width < 1 || height < 1 || width > max_image_side || height > max_image_side) return 0;
    // 32-bit drawing blends through tables that only these images need.
    bool direct = image_mode(uint16_t(mode)).palette == PaletteKind::direct;
    if (direct && !blend_tables_build()) return 0;
    ImageHandle handle = handle_alloc();
    if (!handle) return 0;
    ImageRecord& image = image_record(handle);
    image.pixels = memory;
    image.width = uint16_t(width);
    image.height = uint16_t(height);
    image.compat_mode = uint16_t(mode);
    if (!direct) {
        image.palette = static_cast<uint32_t*>(std::calloc(256, sizeof(uint32_t)));
        if (!image.palette) {
            handle_release(handle);
            return 0;
        }
        image.flags |= owns_palette;
    }
    apply_mode_defaults(image);
    if (image.palette) palette_default(image);
    return handle;
}

ImageHandle image_alloc(int32_t width, int32_t height, int32_t mode) {
    ImageHandle handle = image_create(nullptr, width, height, mode);
    if (!handle) return 0;
    ImageRecord& image = image_record(handle);
    image.pixels = static_cast<uint8_t*>(std::calloc(memory_bytes(image), 1));
    if (!image.pixels) {
        image_destroy(handle);
        return 0;
    }
    image.flags |= owns_pixels;
    if (image.text_page) clear_memory(image);
    return handle;
}

void image_reset(ImageHandle handle) {
    ImageRecord& image = image_record(handle);
    apply_mode_defaults(image);
    if (image.palette) palette_default(image);
    clear_memory(image);
}

void image_destroy(ImageHandle handle) {
    ImageRecord& image = image_record(handle);
    if (image.flags & owns_pixels) std::free(image.pixels);
    if (image.flags & owns_palette) std::free(image.palette);
    handle_release(handle);
}

int32_t image_new(int32_t width, int32_t height, int32_t mode, bool mode_given) {
    if (error_pending()) return 0;
    if (width <= 0 || height <= 0 || width > max_image_side || height > max_image_side ||
        (mode_given && !mode_info(mode))) {
        raise_error(ErrorCode::illegal_function_call);
        return 0;
    }
    const ImageRecord& model = *screen.destination;
    ImageHandle handle = image_alloc(width, height, mode_given ? mode : model.compat_mode);
    if (!handle) return -1;
    ImageRecord& image = image_record(handle);
    if (!mode_given) {
        if (image.palette)
            for (uint32_t i = 0; i < 256; ++i) palette_store(image, i, palette_load(model, i));
        font_select(model.font, image);
        image.foreground = model.foreground;
        image.background = model.background;
        image.draw_colour = uint32_t(model.foreground);
        image.clear_colour = model.clear_colour;
        image.no_blend = model.no_blend;
        image.print_mode = model.print_mode;
    }
    return -int32_t(handle);
}

int32_t image_copy(int32_t image, bool image_given) {
    if (error_pending()) return 0;
    ImageHandle original_handle =
        image_given ? image_resolve(image, ErrorCode::invalid_handle) : screen.destination_handle;
    if (!original_handle) return 0;
    ImageHandle handle = handle_alloc();
    if (!handle) return -1;
    const ImageRecord& original = image_record(original_handle);
    ImageRecord& copy = image_record(handle);
    copy = original;
    copy.flags = 0;
    copy.palette = nullptr;
    copy.pixels = static_cast<uint8_t*>(std::calloc(memory_bytes(original), 1));
    if (!copy.pixels) {
        handle_release(handle);
        return -1;
    }
    copy.flags |= owns_pixels;
    if (original.palette) {
        copy.palette = static_cast<uint32_t*>(std::calloc(256, sizeof(uint32_t)));
        if (!copy.palette) {
            image_destroy(handle);
            return -1;
        }
        copy.flags |= owns_palette;
        for (uint32_t i = 0; i < 256; ++i) palette_store(copy, i, palette_load(original, i));
    }
    pixels_copy(copy, original, element_count(original));
    return -int32_t(handle);
}

void image_free(int32_t image, bool image_given) {
    if (error_pending()) return;
    if (!image_given || image >= 0) {
        raise_error(ErrorCode::illegal_function_call);
        return;
    }
    if (!handle_valid(-int64_t(image))) {
        raise_error(ErrorCode::invalid_handle);
        return;
    }
    auto handle = ImageHandle(-int64_t(image));
    if (image_record(handle).flags & is_screen_page) {
        raise_error(ErrorCode::illegal_function_call);
        return;
    }
    forget_selection(handle);
    image_destroy(handle);
}

void image_free_all() {
    if (error_pending()) return;
    for (ImageHandle handle = 2; handle < table.next_new; ++handle) {
        const ImageRecord& image = image_record(handle);
        if (!image.in_use || (image.flags & is_screen_page)) continue;
        forget_selection(handle);
        image_destroy(handle);
    }
}

ImageHandle page_ensure(int32_t page) {
    if (page > max_page_number) {
        raise_error(ErrorCode::out_of_memory);
        return 0;
    }
    if (screen.pages.size() <= size_t(page)) screen.pages.resize(size_t(page) + 1, 0);
    if (screen.pages[page]) return screen.pages[page];
    const ImageRecord& page0 = image_record(screen.pages[0]);
    ImageHandle handle = image_alloc(page0.width, page0.height, page0.compat_mode);
    if (!handle) {
        raise_error(ErrorCode::out_of_memory);
        return 0;
    }
    screen_page_join(handle);
    screen.pages[page] = handle;
    return handle;
}

void screen_page_join(ImageHandle handle) {
    ImageRecord& page = image_record(handle);
    const ImageRecord& page0 = image_record(screen.pages[0]);
    if (&page != &page0 && page.palette) {
        if (page.flags & owns_palette) std::free(page.palette);
        page.palette = page0.palette;
        page.flags &= ~owns_palette;
    }
    page.flags |= is_screen_page;
    font_select(page0.font, page);
}

void page_colours_reset() {
    ImageRecord& image = *screen.destination;
    image.foreground = image_mode(image.compat_mode).foreground;
    image.background = image_mode(image.compat_mode).background;
    image.draw_colour = uint32_t(image.foreground);
    image.print_top = 1;
    if (text_rows(image) < image.cursor_row) image.cursor_row = 1;
    image.print_bottom = default_print_bottom(image);
}

void page_copy(int32_t from, int32_t to) {
    if (error_pending()) return;
    ImageHandle from_handle = image_resolve(from, ErrorCode::illegal_function_call);
    if (!from_handle) return;
    ImageHandle to_handle = image_resolve(to, ErrorCode::illegal_function_call);
    if (!to_handle || from_handle == to_handle) return;
    const ImageRecord& source = image_record(from_handle);
    ImageRecord& target = image_record(to_handle);
    if (source.bytes_per_pixel != target.bytes_per_pixel || source.width != target.width ||
        source.height != target.height ||
        (source.bytes_per_pixel == 1 && target.colour_mask < source.colour_mask)) {
        raise_error(ErrorCode::illegal_function_call);
        return;
    }
    pixels_copy(target, source, element_count(source));
}

ImageHandle image_resolve(int32_t image, ErrorCode invalid_error) {
    if (image >= 0) return page_ensure(image);
    if (!handle_valid(-int64_t(image))) {
        raise_error(invalid_error);
        return 0;
    }
    return ImageHandle(-int64_t(image));
}

ImageRecord* image_arg(int32_t image, bool image_given) {
    if (!image_given) return screen.destination;
    ImageHandle handle = image_resolve(image, ErrorCode::invalid_handle);
    return handle ? &image_record(handle) : nullptr;
}

void set_dest(int32_t image) {
    if (error_pending()) return;
    if (ImageHandle handle = image_resolve(image, ErrorCode::invalid_handle))
        select_destination(handle);
}

void set_source(int32_t image) {
    if (error_pending()) return;
    if (ImageHandle handle = image_resolve(image, ErrorCode::invalid_handle)) select_source(handle);
}

int32_t get_dest() {
    return -int32_t(screen.destination_handle);
}

int32_t get_source() {
    return -int32_t(screen.source_handle);
}

int32_t get_display() {
    return -int32_t(screen.display_handle);
}

void select_destination(ImageHandle handle) {
    screen.destination_handle = handle;
    screen.destination = &image_record(handle);
}

void select_source(ImageHandle handle) {
    screen.source_handle = handle;
    screen.source = &image_record(handle);
}

void select_display(ImageHandle handle) {
    screen.display_handle = handle;
    screen.display_page.store(&image_record(handle), std::memory_order_release);
}

void font_select(int32_t font, ImageRecord& image) {
    image.font = font;
    image.cursor_col = 1;
    image.cursor_row = 1;
    image.print_top = 1;
    image.print_bottom = default_print_bottom(image);
}

void set_font(int32_t font, int32_t image, bool image_given) {
    if (error_pending()) return;
    if (!font_exists(font)) {
        raise_error(ErrorCode::invalid_handle);
        return;
    }
    ImageRecord* record = image_arg(image, image_given);
    if (!record) return;
    if (!record->text_page) {
        font_select(font, *record);
        return;
    }
    if (!(fonts.font_flags[font] & font_text_usable)) {
        raise_error(ErrorCode::illegal_function_call);
        return;
    }
    if (!(record->flags & is_screen_page)) {
        font_select(font, *record);
        return;
    }
    // The window changes size with the font: every page follows, with the refresh held.
    DisplayHold hold;
    for (ImageHandle page : screen.pages)
        if (page) font_select(font, image_record(page));
}

namespace {

int32_t font_cell_size(int32_t font, bool font_given, const uint16_t* sizes) {
    if (error_pending()) return 0;
    if (!font_given) return sizes[screen.destination->font];
    bool named = font == 8 || font == 14 || font == 16 || (font >= 32 && font_exists(font));
    if (!named) {
        raise_error(ErrorCode::invalid_handle);
        return 0;
    }
    return sizes[font];
}

} // namespace

int32_t font_width_of(int32_t font, bool font_given) {
    return font_cell_size(font, font_given, fonts.font_cell_width);
}

int32_t font_height_of(int32_t font, bool font_given) {
    return font_cell_size(font, font_given, fonts.font_cell_height);
}

void blend_on(int32_t image, bool image_given) {
    ImageRecord* record = query_image(image, image_given);
    if (!record) return;
    if (record->palette) {
        raise_error(ErrorCode::illegal_function_call);
        return;
    }
    record->no_blend = 0;
}

void blend_off(int32_t image, bool image_given) {
    ImageRecord* record = query_image(image, image_given);
    if (record && !record->palette) record->no_blend = 1;
}

int32_t image_width(int32_t image, bool image_given) {
    ImageRecord* record = query_image(image, image_given);
    return record ? record->width : 0;
}

int32_t image_height(int32_t image, bool image_given) {
    ImageRecord* record = query_image(image, image_given);
    return record ? record->height : 0;
}

int32_t image_pixel_size(int32_t image, bool image_given) {
    ImageRecord* record = query_image(image, image_given);
    if (!record) return 0;
    return record->text_page ? 0 : record->bytes_per_pixel;
}

int32_t image_clear_colour(int32_t image, bool image_given) {
    ImageRecord* record = query_image(image, image_given);
    if (!record) return 0;
    if (record->text_page) return -1;
    return record->palette ? record->clear_colour : 0;
}

int32_t image_blending(int32_t image, bool image_given) {
    ImageRecord* record = query_image(image, image_given);
    return record && !record->palette && !record->no_blend ? -1 : 0;
}

int32_t image_foreground(int32_t image, bool image_given) {
    ImageRecord* record = query_image(image, image_given);
    return record ? record->foreground : 0;
}

uint32_t image_background(int32_t image, bool image_given) {
    ImageRecord* record = query_image(image, image_given);
    return record ? record->background : 0;
}

void clear_colour_set(uint32_t colour, int32_t image, int32_t given) {
    ImageRecord* record = query_image(image, (given & 2) != 0);
    if (!record) return;
    bool colour_given = (given & 1) != 0;
    if (record->text_page) {
        if (colour_given) raise_error(ErrorCode::illegal_function_call);
    } else if (record->palette) {
        if (!colour_given)
            record->clear_colour = -1;
        else if (colour < 256)
            record->clear_colour = int32_t(colour);
        else
            raise_error(ErrorCode::illegal_function_call);
    } else if (colour_given) {
        for (size_t i = 0; i < element_count(*record); ++i) {
            uint32_t pixel = pixel32_load(*record, i);
            if (((pixel ^ colour) & 0xFFFFFF) == 0) pixel32_store(*record, i, pixel & 0xFFFFFF);
        }
    }
}

uint32_t text_columns(const ImageRecord& image) {
    return image.text_page ? image.width : image.width / text_column_width(image.font);
}

uint32_t text_rows(const ImageRecord& image) {
    return image.text_page ? image.height : image.height / text_row_height(image.font);
}

uint16_t default_print_bottom(const ImageRecord& image) {
    return uint16_t(std::max<int64_t>(int64_t(text_rows(image)) - 1, 1));
}
