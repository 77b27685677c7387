#include "platform/pdf/pdf.h"

#include <cairo-pdf.h>
#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>

namespace platform::pdf {
namespace {

// A4 in points, and the margin kept on every side.
constexpr double kSheetWidth = 595.28;
constexpr double kSheetHeight = 841.89;
constexpr double kMargin = 24.0;
constexpr double kLargestPitch = 12.0;
constexpr double kLargestFont = 10.0;

cairo_status_t Append(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

// Draws every page; the font is chosen so that columns cells fit across.
void DrawPages(cairo_t* cr, const std::vector<TextPage>& pages, int rows, int columns) {
  cairo_select_font_face(cr, "monospace", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, 1.0);
  cairo_text_extents_t cell{};
  cairo_text_extents(cr, "0", &cell);
  const double advance = cell.x_advance > 0 ? cell.x_advance : 0.6;
  const double pitch = std::min(kLargestPitch, (kSheetHeight - 2 * kMargin) / rows);
  const double size =
      std::min({kLargestFont, pitch / 1.15, (kSheetWidth - 2 * kMargin) / (columns * advance)});
  cairo_set_font_size(cr, size);
  cairo_font_extents_t font{};
  cairo_font_extents(cr, &font);
  for (const TextPage& page : pages) {
    cairo_set_source_rgb(cr, 0, 0, 0);
    double baseline = kMargin + font.ascent;
    for (const std::string& line : page) {
      if (!line.empty()) {
        cairo_move_to(cr, kMargin, baseline);
        cairo_show_text(cr, line.c_str());
      }
      baseline += pitch;
    }
    cairo_show_page(cr);
  }
}

// cairo and fontconfig keep the fonts they found for the life of the
// process; a program makes one document, so they are let go once it is
// made (and found again for another), leaving nothing held at exit.
void ReleaseFontCaches() {
  cairo_debug_reset_static_data();
  FcFini();
}

}  // namespace

bool TextPagesToPdf(const std::vector<TextPage>& pages, int rows, int columns, std::string* pdf,
                    std::string* error) {
  pdf->clear();
  rows = std::max(rows, 1);
  columns = std::max(columns, 1);
  for (const TextPage& page : pages) rows = std::max(rows, static_cast<int>(page.size()));
  cairo_surface_t* surface =
      cairo_pdf_surface_create_for_stream(Append, pdf, kSheetWidth, kSheetHeight);
  cairo_t* cr = cairo_create(surface);
  DrawPages(cr, pages, rows, columns);
  cairo_status_t status = cairo_status(cr);
  cairo_destroy(cr);
  cairo_surface_finish(surface);
  if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface);
  cairo_surface_destroy(surface);
  ReleaseFontCaches();
  if (status != CAIRO_STATUS_SUCCESS) {
    if (error) *error = cairo_status_to_string(status);
    pdf->clear();
    return false;
  }
  return true;
}

}  // namespace platform::pdf
