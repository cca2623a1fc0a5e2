#include "platform/linux/icon_renderer_linux.h"

#include <cairo.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/icon.h"

namespace velmoryn {
namespace {

namespace fs = std::filesystem;

// A PNG read back with cairo; pixels addressed in the image's own points (y
// upward from the lower left), so the expectations read like the drawing.
class Png {
 public:
  explicit Png(const fs::path& file)
      : surface(cairo_image_surface_create_from_png(file.c_str()), cairo_surface_destroy) {}

  bool ok() const { return cairo_surface_status(surface.get()) == CAIRO_STATUS_SUCCESS; }
  int width() const { return cairo_image_surface_get_width(surface.get()); }
  int height() const { return cairo_image_surface_get_height(surface.get()); }

  // The pixel whose square holds the point, at the given scale.
  std::uint32_t at(double xPoints, double yPoints, double scale) const {
    const int column = static_cast<int>(xPoints * scale);
    const int row = static_cast<int>((Icon::height - yPoints) * scale);
    return pixel(column, row);
  }
  std::uint32_t pixel(int column, int row) const {
    unsigned char* data = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    return *reinterpret_cast<const std::uint32_t*>(data + row * stride + column * 4);
  }
  static int alpha(std::uint32_t argb) { return static_cast<int>(argb >> 24); }
  static bool black(std::uint32_t argb) { return (argb & 0x00FFFFFFu) == 0; }

 private:
  std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface;
};

class IconRendererTest : public ::testing::Test {
 protected:
  IconRendererTest() {
    dir = fs::temp_directory_path() / ("velmoryn-icon-" + std::to_string(::getpid()));
    fs::create_directories(dir);
  }
  ~IconRendererTest() override {
    std::error_code ignored;
    if (!std::getenv("VELMORYN_KEEP_ICONS")) fs::remove_all(dir, ignored);
  }

  Png render(bool hidden, double scale) {
    const fs::path file = dir / (std::string(hidden ? "hidden" : "shown") + "@" +
                                 std::to_string(int(scale)) + "x.png");
    EXPECT_TRUE(renderIconPng(Icon::image(hidden), scale, file));
    Png png(file);
    EXPECT_TRUE(png.ok());
    return png;
  }

  fs::path dir;
};

// Pixels fully inside or outside the shapes at both scales the menu bar uses:
// opaque black where drawn, clear elsewhere.
TEST_F(IconRendererTest, ShownHasThreeSquareHolesAndHiddenADownwardArrowHole) {
  struct Probes {
    bool hidden;
    std::vector<Point> solid, clear;
  };
  const Probes states[] = {
      // The body around three holes; clear outside it and at its rounded corner.
      {false,
       {{3.5, 8.5}, {20.5, 8.5}, {12.5, 12.5}, {12.5, 3.5}, {12.5, 4.75}},
       {{6.5, 7.5},
        {7.5, 8.5},
        {11.5, 7.5},
        {12.5, 8.5},
        {16.5, 7.5},
        {17.5, 8.5},
        {0.5, 0.5},
        {23.5, 15.5},
        {1.5, 8.5},
        {12.5, 14.5},
        {12.5, 1.5},
        {2.2, 2.7}}},
      // No squares; the shaft above the head, the head's wide part below the neck.
      {true,
       {{3.5, 8.5}, {7.5, 8.5}, {16.5, 8.5}, {12.5, 12.5}, {12.0, 3.5}},
       {{11.5, 10.5}, {12.5, 9.5}, {11.5, 6.5}, {12.5, 6.5}, {0.5, 0.5}, {23.5, 15.5}}},
  };
  for (double scale : {1.0, 2.0}) {
    for (const auto& state : states) {
      const Png png = render(state.hidden, scale);
      EXPECT_EQ(png.width(), 24 * scale);
      EXPECT_EQ(png.height(), 16 * scale);
      for (bool solid : {true, false}) {
        for (Point p : solid ? state.solid : state.clear) {
          const auto pixel = png.at(p.x, p.y, scale);
          EXPECT_EQ(Png::alpha(pixel), solid ? 255 : 0)
              << (state.hidden ? "hidden" : "shown") << " (" << p.x << ", " << p.y << ") @"
              << scale;
          EXPECT_TRUE(Png::black(pixel));
        }
      }
    }
  }
}

// Body, shaft and head overlap in a 0.2 point strip (y 7.4 to 7.6) that
// even-odd filling paints: at 2x a faint line over the two pixel rows around
// y 7.5, with clear rows beside it; the shown icon has a hole there.
TEST_F(IconRendererTest, AThinLineCrossesTheArrowsNeckAtTwoX) {
  const Png hidden = render(true, 2), shown = render(false, 2);
  const int rowAbove = static_cast<int>((Icon::height - 7.75) * 2);  // y 8.0 to 7.5
  for (int column = 22; column <= 25; ++column) {                    // x 11.0 to 13.0
    for (int row : {rowAbove, rowAbove + 1}) {
      EXPECT_GT(Png::alpha(hidden.pixel(column, row)), 20) << column << "," << row;
      EXPECT_LT(Png::alpha(hidden.pixel(column, row)), 255) << column << "," << row;
      EXPECT_EQ(Png::alpha(shown.pixel(column, row)), 0) << column << "," << row;
    }
    EXPECT_EQ(Png::alpha(hidden.pixel(column, rowAbove - 1)), 0) << column;
    EXPECT_EQ(Png::alpha(hidden.pixel(column, rowAbove + 2)), 0) << column;
  }
}

TEST_F(IconRendererTest, FailsWithoutAHandlerOrWhenTheHandlerFailsOrTheFileCannotBeWritten) {
  IconImage empty = Icon::image(false);
  empty.drawingHandler = nullptr;
  EXPECT_FALSE(renderIconPng(empty, 1, dir / "none.png"));
  IconImage failing = Icon::image(false);
  failing.drawingHandler = [](DrawingContext*) { return false; };
  EXPECT_FALSE(renderIconPng(failing, 1, dir / "failing.png"));
  EXPECT_FALSE(fs::exists(dir / "failing.png"));
  EXPECT_FALSE(renderIconPng(Icon::image(false), 1, dir / "missing" / "icon.png"));
  EXPECT_FALSE(renderIconPng(Icon::image(false), 0, dir / "zero.png"));
}

TEST_F(IconRendererTest, AFlippedImageIsDrawnWithItsOriginAtTheTop) {
  IconImage image;  // a square in the lower-left corner of the image's own space
  image.width = 4;
  image.height = 4;
  image.drawingHandler = [](DrawingContext* context) {
    context->setFillColor({0, 0, 0, 1});
    context->fillPathEvenOdd(Path{{RectElement{Rect{0, 0, 2, 2}}}});
    return true;
  };
  ASSERT_TRUE(renderIconPng(image, 1, dir / "unflipped.png"));
  image.flipped = true;
  ASSERT_TRUE(renderIconPng(image, 1, dir / "flipped.png"));
  const Png unflipped(dir / "unflipped.png"), flipped(dir / "flipped.png");
  EXPECT_EQ(Png::alpha(unflipped.pixel(0, 3)), 255);  // bottom row
  EXPECT_EQ(Png::alpha(unflipped.pixel(0, 0)), 0);
  EXPECT_EQ(Png::alpha(flipped.pixel(0, 0)), 255);  // top row
  EXPECT_EQ(Png::alpha(flipped.pixel(0, 3)), 0);
}

}  // namespace
}  // namespace velmoryn
