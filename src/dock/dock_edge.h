// The screen edge at which the Dock sits.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace velmoryn {

class DockEdge {
 public:
  enum Value : std::uint8_t { bottom, left, right };

  constexpr DockEdge(Value value = bottom) : value_(value) {}  // NOLINT: an edge is its value
  constexpr operator Value() const { return value_; }          // NOLINT: switch over edges

  // "left" and "right" name their edges; any other text, "bottom" and the empty
  // text included, is the bottom. Case matters.
  static DockEdge from(std::string_view text);

 private:
  Value value_;
};

}  // namespace velmoryn
