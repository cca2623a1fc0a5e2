#include "platform/linux/icon_renderer_linux.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <string>
#include <type_traits>

#include "platform/linux/files_linux.h"
#include "platform/posix/unique_fd.h"

namespace velmoryn {
namespace {

struct SurfaceDeleter {
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct ContextDeleter {
  void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};

// A rounded rectangle as one closed subpath with elliptical corners, like the
// platform's rounded-rect path; the corners are limited to half the sides.
void addRoundedRect(cairo_t* cr, const RoundedRectElement& element) {
  const Rect& r = element.rect;
  const double rx = std::clamp(element.cornerWidth, 0.0, r.width / 2);
  const double ry = std::clamp(element.cornerHeight, 0.0, r.height / 2);
  if (rx <= 0 || ry <= 0) {
    cairo_rectangle(cr, r.x, r.y, r.width, r.height);
    return;
  }
  constexpr double quarter = std::numbers::pi / 2;
  cairo_new_sub_path(cr);
  const auto corner = [&](double cx, double cy, double from) {
    cairo_save(cr);
    cairo_translate(cr, cx, cy);
    cairo_scale(cr, rx, ry);
    cairo_arc(cr, 0, 0, 1, from, from + quarter);
    cairo_restore(cr);
  };
  corner(r.maxX() - rx, r.minY() + ry, -quarter);
  corner(r.maxX() - rx, r.maxY() - ry, 0);
  corner(r.minX() + rx, r.maxY() - ry, quarter);
  corner(r.minX() + rx, r.minY() + ry, 2 * quarter);
  cairo_close_path(cr);
}

// The image's drawing context, backed by a cairo context whose user space is
// already the image's point space.
class CairoDrawingContext : public DrawingContext {
 public:
  explicit CairoDrawingContext(cairo_t* cr) : cr(cr) {}

  void setFillColor(Color color) override {
    cairo_set_source_rgba(cr, color.red, color.green, color.blue, color.alpha);
  }

  void fillPathEvenOdd(const Path& path) override {
    cairo_new_path(cr);
    for (const PathElement& element : path.elements) {
      std::visit(
          [this](const auto& e) {
            using T = std::decay_t<decltype(e)>;
            if constexpr (std::is_same_v<T, RoundedRectElement>) {
              addRoundedRect(cr, e);
            } else if constexpr (std::is_same_v<T, RectElement>) {
              cairo_rectangle(cr, e.rect.x, e.rect.y, e.rect.width, e.rect.height);
            } else if constexpr (std::is_same_v<T, MoveToElement>) {
              cairo_move_to(cr, e.point.x, e.point.y);
            } else if constexpr (std::is_same_v<T, LineToElement>) {
              cairo_line_to(cr, e.point.x, e.point.y);
            } else {
              cairo_close_path(cr);
            }
          },
          element);
    }
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_fill(cr);
  }

 private:
  cairo_t* cr;  // safe because the context outlives every drawing call
};

}  // namespace

bool drawIcon(cairo_t* cr, const IconImage& image) {
  if (!image.drawingHandler) return false;
  CairoDrawingContext context(cr);
  return image.drawingHandler(&context);
}

bool renderIconPng(const IconImage& image, double scale, const std::filesystem::path& file) {
  if (!image.drawingHandler || !(scale > 0)) return false;
  const int pixelWidth = static_cast<int>(std::lround(image.width * scale));
  const int pixelHeight = static_cast<int>(std::lround(image.height * scale));
  if (pixelWidth <= 0 || pixelHeight <= 0) return false;

  std::unique_ptr<cairo_surface_t, SurfaceDeleter> surface(
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixelWidth, pixelHeight));
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return false;
  std::unique_ptr<cairo_t, ContextDeleter> cr(cairo_create(surface.get()));
  if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) return false;

  // A new image surface is transparent; make sure of it all the same.
  cairo_set_operator(cr.get(), CAIRO_OPERATOR_CLEAR);
  cairo_paint(cr.get());
  cairo_set_operator(cr.get(), CAIRO_OPERATOR_OVER);

  // Pixel rows run downward; an image that is not flipped has its origin at
  // the lower left with y growing upward.
  if (image.flipped) {
    cairo_scale(cr.get(), scale, scale);
  } else {
    cairo_translate(cr.get(), 0, pixelHeight);
    cairo_scale(cr.get(), scale, -scale);
  }

  if (!drawIcon(cr.get(), image)) return false;
  cairo_surface_flush(surface.get());

  // Encoded first, then written only to a regular file opened without
  // waiting: a FIFO or a device named as the file must not hold the caller.
  std::string png;
  const auto append = [](void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
  };
  if (cairo_surface_write_to_png_stream(surface.get(), append, &png) != CAIRO_STATUS_SUCCESS)
    return false;
  const UniqueFd fd = openFd(file, O_WRONLY | O_CREAT | O_NONBLOCK, 0666);
  struct stat opened {};
  if (!fd.valid() || ::fstat(fd.get(), &opened) != 0 || !S_ISREG(opened.st_mode)) return false;
  return ::ftruncate(fd.get(), 0) == 0 && files::writeAll(fd.get(), png);
}

}  // namespace velmoryn
