// checked as: src/dock/dock.cc
// The core reaches a library of one system.
#include <asio/post.hpp>
