// Renders the core's code-drawn images through Core Graphics. Any thread the
// image is drawn on.
#pragma once

#include "platform/icon_image.h"

namespace velmoryn {

// Runs the image's drawing handler against the current graphics context, or
// with a null context when there is none; returns the handler's answer.
bool drawIconInCurrentContext(const IconImage& image);

}  // namespace velmoryn
