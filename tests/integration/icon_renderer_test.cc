#include "platform/linux/icon_renderer_linux.h"

#include <cairo.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/icon.h"

namespace velmoryn {
namespace {

namespace fs = std::filesystem;

class IconRendererTest : public ::testing::Test {
 protected:
  IconRendererTest() { fs::create_directories(dir); }
  ~IconRendererTest() override { fs::remove_all(dir); }

  // Renders the image and reads the PNG back with cairo.
  void render(const IconImage& image, double scale) {
    ASSERT_TRUE(renderIconPng(image, scale, dir / "icon.png"));
    png.reset(cairo_image_surface_create_from_png((dir / "icon.png").c_str()));
    ASSERT_EQ(cairo_surface_status(png.get()), CAIRO_STATUS_SUCCESS);
  }
  int width() const { return cairo_image_surface_get_width(png.get()); }
  int height() const { return cairo_image_surface_get_height(png.get()); }
  // The pixel at a column and a row counted from the top.
  std::uint32_t pixel(int column, int row) const {
    const unsigned char* data = cairo_image_surface_get_data(png.get());
    const int stride = cairo_image_surface_get_stride(png.get());
    return *reinterpret_cast<const std::uint32_t*>(data + row * stride + column * 4);
  }

  const fs::path dir = fs::temp_directory_path() / ("velmoryn-icon-" + std::to_string(::getpid()));
  std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> png{nullptr,
                                                                         cairo_surface_destroy};
};

// At 20x, probes pixels inside and outside the shapes, the 0.2 gaps and neck line too.
TEST_F(IconRendererTest, ShownHasThreeSquareHolesAndHiddenADownwardArrowHole) {
  const std::vector<Point> outside{{0.5, 0.5}, {23.5, 15.5}, {1.5, 8.5},
                                   {12, 14},   {12, 2},      {2.2, 2.7}};
  const std::vector<Point> shownSolid{{3, 3.5},   {3.5, 8.5},  {20.5, 8.5}, {12, 12.5}, {12, 3.5},
                                      {9.5, 7.7}, {14.5, 7.7}, {12, 5.2},   {12, 10.2}};
  const std::vector<Point> shownClear{{7, 7.7},    {12, 7.7}, {17, 7.7}, {4.7, 7.7},
                                      {19.3, 7.7}, {12, 5.4}, {12, 10}};
  const std::vector<Point> hiddenSolid{{3.5, 8.5}, {7.5, 8.5},  {16.5, 8.5}, {12, 12.5}, {12, 3.5},
                                       {12, 7.5},  {10.8, 9.5}, {13.2, 9.5}, {12, 11.6}};
  const std::vector<Point> hiddenClear{{12, 9.5}, {11, 9.5},  {13, 9.5},   {12, 11.4},
                                       {12, 6.5}, {9.5, 7.3}, {14.5, 7.3}, {12, 4.7}};
  const struct {
    bool hidden, flipped;
    const std::vector<Point>&solid, &clear;
  } states[] = {{false, false, shownSolid, shownClear},
                {true, false, hiddenSolid, hiddenClear},
                {true, true, hiddenSolid, hiddenClear}};
  for (const auto& state : states) {
    IconImage image = Icon::image(state.hidden);
    image.flipped = state.flipped;
    render(image, 20);
    EXPECT_EQ(std::make_pair(width(), height()), std::make_pair(480, 320));
    for (bool solid : {true, false}) {
      std::vector<Point> probes = solid ? state.solid : state.clear;
      if (!solid) probes.insert(probes.end(), outside.begin(), outside.end());
      for (Point p : probes) {
        const std::uint32_t argb =
            pixel(int(p.x * 20), int((state.flipped ? p.y : Icon::height - p.y) * 20));
        EXPECT_EQ(argb, solid ? 0xFF000000u : 0u)
            << (state.hidden ? "hidden" : "shown") << " (" << p.x << ", " << p.y << ")";
      }
    }
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

}  // namespace
}  // namespace velmoryn
