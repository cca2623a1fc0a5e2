#include "platform/macos/log_mac.h"

#import <Foundation/Foundation.h>

namespace velmoryn {

void MacLog::write(const std::string& line) {
  @autoreleasepool {
    NSString* text = [[NSString alloc] initWithBytes:line.data()
                                              length:line.size()
                                            encoding:NSUTF8StringEncoding];
    // The line is data, never a format.
    NSLog(@"%@", text != nil ? text : @"(a log line that is not UTF-8)");
  }
}

}  // namespace velmoryn
