// Strings between C++ and Cocoa, written once for every .mm file: UTF-8 bytes
// to an NSString, nil when they are not UTF-8, and an NSString back to UTF-8,
// empty for nil. Objective-C++ only. Any thread.
#pragma once

#import <Foundation/Foundation.h>

#include <string>
#include <string_view>

namespace velmoryn::mac {

inline NSString* _Nullable toNSString(std::string_view text) {
  return [[NSString alloc] initWithBytes:text.data()
                                  length:text.size()
                                encoding:NSUTF8StringEncoding];
}

inline std::string fromNSString(NSString* _Nullable text) {
  const char* utf8 = text.UTF8String;
  return utf8 != nullptr ? std::string(utf8) : std::string();
}

}  // namespace velmoryn::mac
