// Numbers as the simulated desktop and its Dock print them. Any thread.
#pragma once

#include <string>

#include "platform/geometry.h"

namespace velmoryn {

// A short, locale-free rendering, also the one `defaults read` uses for a
// float: whole numbers without a point, others in the shortest form that reads
// back to the same value ("1000", "0.5").
std::string formatNumber(double value);
std::string formatRect(const Rect& rect);

}  // namespace velmoryn
