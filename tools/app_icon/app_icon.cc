// Draws the Mac app icon and writes it as AppIcon.icns, or checks that a
// written one is still what this code draws. The icon is a rounded square on
// Apple's app-icon grid (824 of 1024 pixels, a soft blue gradient, a drop
// shadow) carrying the status icon's Dock: a rounded bar with three square
// holes, filled by the simulated desktop's cairo renderer. Below 128 pixels
// the bar and its holes snap to whole pixels, so that the holes stay apart.
//
//   velmoryn-app-icon write AppIcon.icns [ICONSET_FOLDER]   (the folder gets the PNGs)
//   velmoryn-app-icon check AppIcon.icns
#include <cairo.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <numbers>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/icon.h"
#include "platform/linux/icon_renderer_linux.h"

namespace velmoryn {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

// The iconset's ten images, each under the type iconutil stores it as (PNG).
struct IconsetImage {
  std::string_view type;
  int points;
  int scale;
  int pixels() const { return points * scale; }
  std::string fileName() const {
    const std::string side = std::to_string(points);
    return "icon_" + side + "x" + side + (scale == 2 ? "@2x" : "") + ".png";
  }
};
constexpr std::array<IconsetImage, 10> kIconset{{{"icp4", 16, 1},
                                                 {"ic11", 16, 2},
                                                 {"icp5", 32, 1},
                                                 {"ic12", 32, 2},
                                                 {"ic07", 128, 1},
                                                 {"ic13", 128, 2},
                                                 {"ic08", 256, 1},
                                                 {"ic14", 256, 2},
                                                 {"ic09", 512, 1},
                                                 {"ic10", 512, 2}}};

struct SurfaceDeleter {
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct ContextDeleter {
  void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
struct PatternDeleter {
  void operator()(cairo_pattern_t* pattern) const { cairo_pattern_destroy(pattern); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;
using Context = std::unique_ptr<cairo_t, ContextDeleter>;
using Pattern = std::unique_ptr<cairo_pattern_t, PatternDeleter>;

constexpr double kGrid = 1024;           // Apple's app-icon canvas
constexpr double kGridInset = 100;       // the rounded square's margin on it
constexpr double kCornerExtent = 0.344;  // of the side: where each corner's curve begins
constexpr double kCornerPower = 3.25;    // superellipse quarters: no kink where the sides begin
constexpr double kMotifWidth = 0.62;     // of the rounded square's side

// The rounded square's margin in pixels: whole pixels, so its edges are sharp.
int squareInset(int pixels) {
  return std::max(1, static_cast<int>(std::lround(pixels * kGridInset / kGrid)));
}

// Straight sides joined by superellipse quarters, whose curvature falls to
// nothing where they meet the sides, as on Apple's icon shape.
void addRoundedSquare(cairo_t* cr, double x, double y, double side) {
  const double e = side * kCornerExtent;
  // Each corner's centre and the signs that point from it toward the corner.
  const std::array<std::array<double, 4>, 4> corners{{{x + side - e, y + e, 1, -1},
                                                      {x + side - e, y + side - e, 1, 1},
                                                      {x + e, y + side - e, -1, 1},
                                                      {x + e, y + e, -1, -1}}};
  constexpr int kSteps = 90;
  for (std::size_t c = 0; c < corners.size(); ++c) {
    const auto [cx, cy, sx, sy] = corners[c];
    for (int i = 0; i <= kSteps; ++i) {
      // Clockwise in image rows: top-right from the top side down to the right side, and so on.
      const double angle = std::numbers::pi / 2 * i / kSteps;
      const bool across = c % 2 == 0;
      const double a = across ? std::sin(angle) : std::cos(angle);
      const double b = across ? std::cos(angle) : std::sin(angle);
      const double px = cx + sx * e * std::pow(a, 2 / kCornerPower);
      const double py = cy + sy * e * std::pow(b, 2 / kCornerPower);
      (c == 0 && i == 0 ? cairo_move_to : cairo_line_to)(cr, px, py);
    }
  }
  cairo_close_path(cr);
}

// A soft shadow under the square: its shape blurred by three box passes.
void paintShadow(cairo_t* cr, int pixels, double inset, double side) {
  const double radius = pixels * 14 / kGrid;
  if (radius < 0.75) return;
  Surface mask(cairo_image_surface_create(CAIRO_FORMAT_A8, pixels, pixels));
  {
    Context m(cairo_create(mask.get()));
    addRoundedSquare(m.get(), inset, inset + pixels * 12 / kGrid, side);
    cairo_fill(m.get());
  }
  cairo_surface_flush(mask.get());
  unsigned char* data = cairo_image_surface_get_data(mask.get());
  const std::ptrdiff_t stride = cairo_image_surface_get_stride(mask.get());
  const int r = static_cast<int>(std::lround(radius / 1.7));
  std::vector<int> line(pixels);
  for (int pass = 0; pass < 6; ++pass) {
    const bool rows = pass % 2 == 0;
    for (int a = 0; a < pixels; ++a) {
      auto at = [&](int b) -> unsigned char& {
        return rows ? data[a * stride + b] : data[b * stride + a];
      };
      for (int b = 0; b < pixels; ++b) line[b] = at(b);
      int sum = 0;
      for (int b = -r; b <= r; ++b) sum += b >= 0 && b < pixels ? line[b] : 0;
      for (int b = 0; b < pixels; ++b) {
        at(b) = static_cast<unsigned char>(sum / (2 * r + 1));
        const int in = b + r + 1, out = b - r;
        sum += (in < pixels ? line[in] : 0) - (out >= 0 ? line[out] : 0);
      }
    }
  }
  cairo_surface_mark_dirty(mask.get());
  cairo_set_source_rgba(cr, 0, 0, 0, 0.32);
  cairo_mask_surface(cr, mask.get(), 0, 0);
}

// The status icon's Dock in pixels (y downward), centred in the square, with
// the status icon's proportions. Up to 256 pixels every edge lands on a pixel,
// the holes at least two pixels wide and one apart, so they stay sharp and apart.
Path motif(int pixels, double inset, double side) {
  const Path statusIcon = Icon::path(false);
  const auto shape = [&statusIcon](std::size_t i) {
    return std::get<RoundedRectElement>(statusIcon.elements.at(i));
  };
  const RoundedRectElement body = shape(0), first = shape(1), second = shape(2);
  const double unit = side * kMotifWidth / body.rect.width;
  constexpr int kSnapLimit = 256;
  const auto length = [unit, pixels](double units, double least) {
    return pixels > kSnapLimit ? units * unit : std::max(least, std::round(units * unit));
  };
  const double hole = length(first.rect.width, 2);
  const double gap = length(second.rect.x - first.rect.maxX(), 1);
  const double margin = length(first.rect.x - body.rect.x, 1);
  const double above = length(body.rect.maxY() - first.rect.maxY(), 1);
  const double below = length(first.rect.y - body.rect.y, 1);
  const double width = 2 * margin + 3 * hole + 2 * gap, height = above + hole + below;
  const auto start = [pixels](double free) {
    return pixels > kSnapLimit ? free / 2 : std::floor(free / 2);
  };
  const double left = inset + start(side - width), top = inset + start(side - height);
  // Below eight pixels a hole's rounding would only blur it.
  const double holeRadius = hole >= 8 ? first.cornerWidth * unit : 0;

  Path path;
  path.elements.push_back(RoundedRectElement{Rect{left, top, width, height},
                                             body.cornerWidth * unit, body.cornerHeight * unit});
  for (int i = 0; i < 3; ++i) {
    path.elements.push_back(RoundedRectElement{
        Rect{left + margin + i * (hole + gap), top + above, hole, hole}, holeRadius, holeRadius});
  }
  return path;
}

Surface render(int pixels) {
  Surface surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixels, pixels));
  Context cr(cairo_create(surface.get()));
  const int inset = squareInset(pixels);
  const double side = pixels - 2.0 * inset;

  paintShadow(cr.get(), pixels, inset, side);

  // Lighter at the top, as if lit from above.
  Pattern gradient(cairo_pattern_create_linear(0, inset, 0, inset + side));
  cairo_pattern_add_color_stop_rgb(gradient.get(), 0, 0.36, 0.66, 1.00);
  cairo_pattern_add_color_stop_rgb(gradient.get(), 1, 0.13, 0.33, 0.86);
  addRoundedSquare(cr.get(), inset, inset, side);
  cairo_set_source(cr.get(), gradient.get());
  cairo_fill(cr.get());

  IconImage dock;
  dock.width = dock.height = pixels;
  dock.flipped = true;
  const Path shape = motif(pixels, inset, side);
  dock.drawingHandler = [&shape](DrawingContext* context) {
    context->setFillColor(Color{1, 1, 1, 1});
    context->fillPathEvenOdd(shape);
    return true;
  };
  drawIcon(cr.get(), dock);
  cairo_surface_flush(surface.get());
  return surface;
}

cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length) {
  auto* out = static_cast<Bytes*>(closure);
  out->insert(out->end(), data, data + length);
  return CAIRO_STATUS_SUCCESS;
}

Bytes pngOf(cairo_surface_t* surface) {
  Bytes png;
  cairo_surface_write_to_png_stream(surface, appendBytes, &png);
  return png;
}

struct Reader {
  const Bytes* bytes;
  std::size_t offset = 0;
};

cairo_status_t readBytes(void* closure, unsigned char* data, unsigned int length) {
  auto* reader = static_cast<Reader*>(closure);
  if (reader->bytes->size() - reader->offset < length) return CAIRO_STATUS_READ_ERROR;
  std::copy_n(reader->bytes->begin() + static_cast<std::ptrdiff_t>(reader->offset), length, data);
  reader->offset += length;
  return CAIRO_STATUS_SUCCESS;
}

void putBigEndian(Bytes& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back((value >> shift) & 0xFF);
}

std::uint32_t bigEndianAt(const Bytes& in, std::size_t offset) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value = (value << 8) | in[offset + i];
  return value;
}

// An icns file: "icns", the whole length, then each image as its type, its
// length with this eight-byte header, and its PNG.
Bytes icnsOf(const std::vector<Bytes>& pngs) {
  Bytes body;
  for (std::size_t i = 0; i < kIconset.size(); ++i) {
    body.insert(body.end(), kIconset[i].type.begin(), kIconset[i].type.end());
    putBigEndian(body, static_cast<std::uint32_t>(pngs[i].size() + 8));
    body.insert(body.end(), pngs[i].begin(), pngs[i].end());
  }
  Bytes file{'i', 'c', 'n', 's'};
  putBigEndian(file, static_cast<std::uint32_t>(body.size() + 8));
  file.insert(file.end(), body.begin(), body.end());
  return file;
}

// The images of an icns file by type, or a reason it is not one.
std::optional<std::string> readIcns(const Bytes& file,
                                    std::vector<std::pair<std::string, Bytes>>& out) {
  if (file.size() < 8 ||
      std::string_view(reinterpret_cast<const char*>(file.data()), 4) != "icns" ||
      bigEndianAt(file, 4) != file.size()) {
    return "not an icns file, or its length is wrong";
  }
  for (std::size_t offset = 8; offset < file.size();) {
    if (file.size() - offset < 8) return "an image header is cut short";
    const std::uint32_t length = bigEndianAt(file, offset + 4);
    if (length < 8 || length > file.size() - offset) return "an image's length is wrong";
    out.emplace_back(std::string(reinterpret_cast<const char*>(&file[offset]), 4),
                     Bytes(file.begin() + static_cast<std::ptrdiff_t>(offset + 8),
                           file.begin() + static_cast<std::ptrdiff_t>(offset + length)));
    offset += length;
  }
  return std::nullopt;
}

// The largest difference in any channel of any pixel; none when the sizes differ.
std::optional<int> largestDifference(cairo_surface_t* a, cairo_surface_t* b) {
  const int width = cairo_image_surface_get_width(a), height = cairo_image_surface_get_height(a);
  if (width != cairo_image_surface_get_width(b) || height != cairo_image_surface_get_height(b)) {
    return std::nullopt;
  }
  int largest = 0;
  for (std::ptrdiff_t row = 0; row < height; ++row) {
    const unsigned char* pa =
        cairo_image_surface_get_data(a) + row * cairo_image_surface_get_stride(a);
    const unsigned char* pb =
        cairo_image_surface_get_data(b) + row * cairo_image_surface_get_stride(b);
    for (int i = 0; i < width * 4; ++i) largest = std::max(largest, std::abs(pa[i] - pb[i]));
  }
  return largest;
}

int write(const fs::path& icns, const std::optional<fs::path>& iconset) {
  std::vector<Bytes> pngs;
  pngs.reserve(kIconset.size());
  for (const IconsetImage& image : kIconset) pngs.push_back(pngOf(render(image.pixels()).get()));
  if (iconset) {
    fs::create_directories(*iconset);
    for (std::size_t i = 0; i < kIconset.size(); ++i) {
      std::ofstream(*iconset / kIconset[i].fileName(), std::ios::binary)
          .write(reinterpret_cast<const char*>(pngs[i].data()),
                 static_cast<std::streamsize>(pngs[i].size()));
    }
  }
  const Bytes file = icnsOf(pngs);
  std::ofstream out(icns, std::ios::binary);
  out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  if (!out.flush()) {
    std::fprintf(stderr, "cannot write %s\n", icns.c_str());
    return 1;
  }
  return 0;
}

// Decoding rounds premultiplied colour, and another cairo may shade an edge
// pixel a step differently: a redrawn icon differs by far more.
constexpr int kTolerance = 2;

int check(const fs::path& icns) {
  std::ifstream in(icns, std::ios::binary);
  const Bytes file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::vector<std::pair<std::string, Bytes>> images;
  std::string problem;
  if (auto failure = readIcns(file, images)) {
    problem = *failure;
  } else if (images.size() != kIconset.size()) {
    problem =
        std::to_string(images.size()) + " images instead of " + std::to_string(kIconset.size());
  }
  for (std::size_t i = 0; problem.empty() && i < kIconset.size(); ++i) {
    const IconsetImage& expected = kIconset[i];
    const auto& [type, png] = images[i];
    Reader reader{&png};
    const Surface stored(cairo_image_surface_create_from_png_stream(readBytes, &reader));
    const Surface drawn = render(expected.pixels());
    const std::optional<int> difference =
        cairo_surface_status(stored.get()) == CAIRO_STATUS_SUCCESS && type == expected.type
            ? largestDifference(stored.get(), drawn.get())
            : std::nullopt;
    if (!difference || *difference > kTolerance) {
      problem = "its " + expected.fileName() + " (" + std::string(expected.type) +
                ") is not what the icon code draws";
    }
  }
  if (problem.empty()) return 0;
  std::fprintf(stderr,
               "%s is out of date: %s. Draw it again with\n"
               "  cmake --build --preset linux-debug --target app_icon\n",
               icns.c_str(), problem.c_str());
  return 1;
}

}  // namespace
}  // namespace velmoryn

int main(int argc, char** argv) {
  const std::string_view command = argc > 2 ? argv[1] : "";
  if (command == "write" && argc <= 4) {
    return velmoryn::write(
        argv[2], argc == 4 ? std::optional<std::filesystem::path>(argv[3]) : std::nullopt);
  }
  if (command == "check" && argc == 3) return velmoryn::check(argv[2]);
  std::fprintf(stderr, "usage: %s write AppIcon.icns [ICONSET_FOLDER] | check AppIcon.icns\n",
               argv[0]);
  return 2;
}
