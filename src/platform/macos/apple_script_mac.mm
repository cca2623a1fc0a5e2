#include "platform/macos/apple_script_mac.h"

#import <Foundation/Foundation.h>

namespace velmoryn {
namespace {

class MacAppleScript : public AppleScript {
 public:
  explicit MacAppleScript(NSAppleScript* script) : script(script) {}

  // Compile errors surface again, and are reported, when the script runs.
  void compile() override { [script compileAndReturnError:nil]; }

  bool executeReportsError() override {
    @autoreleasepool {
      NSDictionary* error = nil;
      NSAppleEventDescriptor* result = [script executeAndReturnError:&error];
      return result == nil || error != nil;
    }
  }

 private:
  NSAppleScript* script;
};

}  // namespace

std::unique_ptr<AppleScript> MacAppleScriptFactory::create(const std::string& source) {
  @autoreleasepool {
    NSString* text = [[NSString alloc] initWithBytes:source.data()
                                              length:source.size()
                                            encoding:NSUTF8StringEncoding];
    if (text == nil) return nullptr;
    NSAppleScript* script = [[NSAppleScript alloc] initWithSource:text];
    if (script == nil) return nullptr;
    return std::make_unique<MacAppleScript>(script);
  }
}

}  // namespace velmoryn
