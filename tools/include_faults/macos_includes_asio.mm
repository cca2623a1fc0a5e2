// checked as: src/platform/macos/queues_mac.mm
// A macOS adapter includes the Linux run loop's library.
#include <asio/post.hpp>
