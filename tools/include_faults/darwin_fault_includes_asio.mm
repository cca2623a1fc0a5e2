// checked as: tests/macos/faults/nil_for_nonnull.mm
// A Darwin fault file fails for a Linux library, not for what it holds.
#include <asio/post.hpp>
