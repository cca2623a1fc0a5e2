#include "platform/macos/log_mac.h"

#import <Foundation/Foundation.h>

#include "platform/macos/string_bridge.h"

namespace velmoryn {

void MacLog::write(const std::string& line) {
  @autoreleasepool {
    NSString* text = mac::toNSString(line);
    // The line is data, never a format.
    NSLog(@"%@", text != nil ? text : @"(a log line that is not UTF-8)");
  }
}

}  // namespace velmoryn
