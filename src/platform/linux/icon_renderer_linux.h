// Renders a code-drawn image to a PNG file with cairo, for the simulated
// desktop. Any thread: each call uses its own surface.
#pragma once

#include <cairo.h>

#include <filesystem>

#include "platform/icon_image.h"

namespace velmoryn {

// Runs the image's drawing handler on `cr`, whose user space must already be
// the image's point space; returns the handler's answer. The fill rule and
// source it sets stay set.
bool drawIcon(cairo_t* cr, const IconImage& image);

// Draws the image at the given scale (1 gives one pixel per point, 2 gives
// two) onto a transparent canvas and writes it as PNG. False when the image
// has no handler, the handler reports failure, or the file cannot be written
// or is not a regular file (a FIFO or a device is never waited for).
bool renderIconPng(const IconImage& image, double scale, const std::filesystem::path& file);

}  // namespace velmoryn
