// The icon drawn into real PNG files through cairo.
#include "platform/linux/icon_renderer_linux.h"

#include <cairo.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/icon.h"
#include "integration/file_test_support.h"

namespace velmoryn {
namespace {

namespace fs = std::filesystem;

// At 20x, probes pixels inside and outside the hidden icon's shapes, the 0.2 gaps and neck
// line too. The shown icon's shapes are the app icon's, which its own check compares whole.
TEST(IconRenderer, HiddenHasADownwardArrowHoleInTheDocksBody) {
  const testing::TemporaryFolder folder;
  const struct {
    const char* name;
    std::vector<Point> solid, clear;  // in points from the lower left
  } probes[] = {
      {.name = "the Dock's body, clear outside it",
       .solid = {{3.5, 8.5}, {12, 12.5}, {12, 3.5}},
       .clear = {{0.5, 0.5}, {23.5, 15.5}, {1.5, 8.5}, {12, 14}, {12, 2}, {2.2, 2.7}}},
      {.name = "a downward arrow hole",
       .solid =
           {{7.5, 8.5}, {16.5, 8.5}, {12, 7.5}, {10.8, 9.5}, {13.2, 9.5}, {12, 11.6}, {12, 4.3}},
       .clear = {{11, 9.5}, {13, 9.5}, {12, 11.4}, {9.5, 7.3}, {14.5, 7.3}, {12, 4.7}}},
  };
  for (const bool flipped : {false, true}) {
    IconImage image = Icon::image(true);  // as the menu bar gets it, then turned over
    if (flipped) image.flipped = !image.flipped;
    ASSERT_TRUE(renderIconPng(image, 20, folder.path / "icon.png"));
    const std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> png(
        cairo_image_surface_create_from_png((folder.path / "icon.png").c_str()),
        cairo_surface_destroy);
    ASSERT_EQ(cairo_surface_status(png.get()), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(png.get()), 480);
    EXPECT_EQ(cairo_image_surface_get_height(png.get()), 320);
    const auto at = [&](Point p) {  // pixel rows run downward
      const int row = int((flipped ? p.y : Icon::height - p.y) * 20);
      const unsigned char* rowData =
          cairo_image_surface_get_data(png.get()) + row * cairo_image_surface_get_stride(png.get());
      return reinterpret_cast<const std::uint32_t*>(rowData)[int(p.x * 20)];
    };
    for (const auto& probe : probes) {
      const std::string what = std::string(flipped ? "flipped: " : "") + probe.name;
      for (Point p : probe.solid)
        EXPECT_EQ(at(p), 0xFF000000u) << what << " at " << p.x << ", " << p.y;
      for (Point p : probe.clear) EXPECT_EQ(at(p), 0u) << what << " at " << p.x << ", " << p.y;
    }
  }
}

TEST(IconRenderer, FailsWhenTheHandlerFailsOrTheFileCannotBeWritten) {
  const testing::TemporaryFolder folder;
  IconImage image = Icon::image(false);
  EXPECT_FALSE(image.drawingHandler(nullptr)) << "no context, nothing drawn";
  ASSERT_EQ(::mkfifo((folder.path / "fifo.png").c_str(), 0600), 0);  // nobody reads it: no wait
  EXPECT_FALSE(renderIconPng(image, 1, folder.path / "fifo.png"));
  EXPECT_FALSE(renderIconPng(image, 1, "/dev/null"));  // a device is not a file
  image.drawingHandler = [](DrawingContext*) { return false; };
  EXPECT_FALSE(renderIconPng(image, 1, folder.path / "failing.png"));
  EXPECT_FALSE(fs::exists(folder.path / "failing.png"));
}

}  // namespace
}  // namespace velmoryn
