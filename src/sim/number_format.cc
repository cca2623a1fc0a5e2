// Any thread.
#include "sim/number_format.h"

#include <charconv>

namespace velmoryn {

std::string formatNumber(double value) {
  if (value == 0) return "0";  // also -0
  char buffer[64];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  if (error != std::errc()) return "?";
  return std::string(buffer, end);
}

std::string formatRect(const Rect& rect) {
  return formatNumber(rect.x) + " " + formatNumber(rect.y) + " " + formatNumber(rect.width) + " " +
         formatNumber(rect.height);
}

}  // namespace velmoryn
