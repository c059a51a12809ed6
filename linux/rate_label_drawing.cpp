#include "linux/rate_label_drawing.h"

#include <cairo.h>

#include <cmath>

namespace {

// Bold Arial at the size of the Windows label's default font, or what fontconfig offers for it.
constexpr double kFontPixels = 16.0;

}  // namespace

RateLabelBox DrawRateLabel(uint32_t* pixels, int32_t width, int32_t height,
                           const std::string& text) {
    // cairo's ARGB32 is the picture's own format: native-endian words, premultiplied.
    cairo_surface_t* surface = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(pixels), CAIRO_FORMAT_ARGB32, width, height, width * 4);
    cairo_t* cr = cairo_create(surface);
    cairo_select_font_face(cr, "Arial", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, kFontPixels);
    cairo_font_extents_t font{};
    cairo_font_extents(cr, &font);
    cairo_text_extents_t extents{};
    cairo_text_extents(cr, text.c_str(), &extents);

    const RateLabelBox box{int32_t(std::ceil(extents.x_advance)), int32_t(std::ceil(font.height))};
    cairo_rectangle(cr, 0, 0, box.width, box.height);
    cairo_set_source_rgba(cr, 0, 0, 0, 1);
    cairo_fill(cr);
    cairo_set_source_rgba(cr, 1, 1, 0, 1);
    cairo_move_to(cr, 0, font.ascent);
    cairo_show_text(cr, text.c_str());

    cairo_destroy(cr);
    cairo_surface_flush(surface);
    cairo_surface_destroy(surface);
    return box;
}
