// Included before any asio header. GCC's ThreadSanitizer does not model the
// memory fences asio places around handler calls and refuses to compile them
// (-Wtsan); asio hands work between threads under mutexes, which it does
// model, and on x86 these fences compile to nothing. So under ThreadSanitizer
// asio goes without them.
#pragma once

#if defined(__SANITIZE_THREAD__) && !defined(ASIO_DISABLE_FENCED_BLOCK)
#define ASIO_DISABLE_FENCED_BLOCK
#endif
