// Images and screen pages: the image table and its handles, the page table, the images that
// output writes to, pixel reads come from and the window shows, and the operations and
// queries on images.
//
// Operations:
//   table       images_init (start-up), handle_alloc, handle_release, handle_valid,
//               image_record
//   creation    image_create, image_alloc, image_reset, image_destroy, image_new, image_copy
//   release     image_free, image_free_all
//   pages       page_ensure, screen_page_join, page_colours_reset, page_copy
//   selection   image_resolve, image_arg, set_dest, set_source, get_dest, get_source,
//               get_display, select_display
//   fonts       font_select, set_font, font_width_of, font_height_of
//   blending    blend_on, blend_off
//   queries     image_width, image_height, image_pixel_size, image_clear_colour,
//               image_blending, image_foreground, image_background, clear_colour_set
//   text grid   text_columns, text_rows, default_print_bottom
//
// Programs name an image by a page number (0 or more, created on demand) or by its negated
// handle; -1 means no image. Handles 0 and 1 are reserved and never name an image.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "runtime/screen/image_record.h"

enum class ErrorCode : int32_t;

inline constexpr uint32_t image_table_step = 4096;
inline constexpr uint32_t image_table_chunks = 4096; // room for 16,777,216 handles
inline constexpr int32_t max_page_number = 65535;

struct ImageTable {
    // Records live in chunks of image_table_step that never move, so a record reference
    // (the display refresh's above all) stays good while the table grows.
    ImageRecord* chunks[image_table_chunks];
    uint32_t chunk_count;
    uint32_t next_new;    // handles below it have been handed out at least once
    uint32_t* free_stack; // released handles, reused last-freed-first
    uint32_t free_count;
    uint32_t free_capacity;
};

struct WidthRequest {
    int32_t columns; // each -1 when not requested
    int32_t rows;
    int32_t font;
};

struct ScreenState {
    ImageTable table;
    std::vector<ImageHandle> pages; // page number -> handle; 0: page not created
    ImageRecord* destination;       // written by output
    ImageHandle destination_handle;
    ImageRecord* source; // read by pixel reads
    ImageHandle source_handle;
    std::atomic<ImageRecord*> display_page; // shown by the display refresh
    ImageHandle display_handle;
    int32_t active_page_number;
    uint8_t screen_is_user_image; // page 0 is an image the program made the screen
    WidthRequest width_request;
    int32_t printer_width;
    // Stand-ins for video memory: the first text pages and the mode-13 page live here.
    alignas(64) uint16_t text_video_memory[32768];
    alignas(64) uint8_t graphics_video_memory[64000];
};
extern ScreenState screen;

// Start-up (and a fresh start in tests): releases every image and page and reserves
// handles 0 and 1.
void images_init();

// Table. handle_alloc raises 502 (503 for the free stack) when the table cannot grow.
ImageHandle handle_alloc();
int32_t handle_release(ImageHandle handle); // 1, or 0 when out of range or not in use
bool handle_valid(int64_t handle);          // an image's handle: 2 or more, in use
ImageRecord& image_record(ImageHandle handle);

// Creation. Each returns the new handle, or 0 when the size is not 1-65535 by 1-65535 or
// memory runs out. `mode` is 0, 1, 2, 7-13, 32 or 256.
ImageHandle image_create(uint8_t* memory, int32_t width, int32_t height, int32_t mode);
ImageHandle image_alloc(int32_t width, int32_t height, int32_t mode);
// Re-initialises an image for its mode and clears its memory; size, memory and palette stay.
void image_reset(ImageHandle handle);
// Frees the image's own memory and palette and releases its handle.
void image_destroy(ImageHandle handle);
int32_t image_new(int32_t width, int32_t height, int32_t mode, bool mode_given);
int32_t image_copy(int32_t image, bool image_given);
void image_free(int32_t image, bool image_given);
void image_free_all();

// Pages. page_ensure returns the page's handle, or 0 (error 7) when it cannot be created.
ImageHandle page_ensure(int32_t page);
// Makes a page built for the screen one of its pages: it shares page 0's palette and font.
void screen_page_join(ImageHandle handle);
void page_colours_reset();
void page_copy(int32_t from, int32_t to);

// Selection. image_resolve returns the handle of a page number or negated handle, or 0
// after raising `invalid_error` for a bad handle. image_arg gives the destination when no
// image is given, and null after an error.
ImageHandle image_resolve(int32_t image, ErrorCode invalid_error);
ImageRecord* image_arg(int32_t image, bool image_given);
void set_dest(int32_t image);
void set_source(int32_t image);
int32_t get_dest();
int32_t get_source();
int32_t get_display();
void select_destination(ImageHandle handle);
void select_source(ImageHandle handle);
void select_display(ImageHandle handle);

// Fonts
void font_select(int32_t font, ImageRecord& image); // also homes the cursor and print window
void set_font(int32_t font, int32_t image, bool image_given);
int32_t font_width_of(int32_t font, bool font_given);
int32_t font_height_of(int32_t font, bool font_given);

void blend_on(int32_t image, bool image_given);
void blend_off(int32_t image, bool image_given);

// Queries and settings
int32_t image_width(int32_t image, bool image_given);
int32_t image_height(int32_t image, bool image_given);
int32_t image_pixel_size(int32_t image, bool image_given);
int32_t image_clear_colour(int32_t image, bool image_given);
int32_t image_blending(int32_t image, bool image_given);
int32_t image_foreground(int32_t image, bool image_given);
uint32_t image_background(int32_t image, bool image_given);
// given: bit 0 colour, bit 1 image.
void clear_colour_set(uint32_t colour, int32_t image, int32_t given);

// The image's grid of character cells: cells of a text page, or pixels divided by the
// font's cell size.
uint32_t text_columns(const ImageRecord& image);
uint32_t text_rows(const ImageRecord& image);
// The last row of a new print window: the row above the last, but at least row 1 (also on an
// image shorter than one text row).
uint16_t default_print_bottom(const ImageRecord& image);
