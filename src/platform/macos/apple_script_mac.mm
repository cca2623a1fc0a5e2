#include "platform/macos/apple_script_mac.h"

#import <Foundation/Foundation.h>

#include "platform/macos/string_bridge.h"

namespace velmoryn {
namespace {

class MacAppleScript : public AppleScript {
 public:
  explicit MacAppleScript(NSAppleScript* script) : script(script) {}

  // Compile errors surface again, and are reported, when the script runs.
  void compile() override { [script compileAndReturnError:nil]; }

  std::optional<std::int64_t> executeReportsError() override {
    @autoreleasepool {
      NSDictionary<NSString*, id>* error = nil;
      // Declared non-null, but nil when the script fails.
      NSAppleEventDescriptor* _Nullable result = [script executeAndReturnError:&error];
      if (result != nil && error == nil) return std::nullopt;
      constexpr std::int64_t kGeneralError = -2700;  // errOSAGeneralError: no number given
      id number = error[NSAppleScriptErrorNumber];
      return [number isKindOfClass:[NSNumber class]] ? [number longLongValue] : kGeneralError;
    }
  }

 private:
  NSAppleScript* script;
};

}  // namespace

std::unique_ptr<AppleScript> MacAppleScriptFactory::create(const std::string& source) {
  @autoreleasepool {
    NSString* text = mac::toNSString(source);
    if (text == nil) return nullptr;
    NSAppleScript* script = [[NSAppleScript alloc] initWithSource:text];
    if (script == nil) return nullptr;
    return std::make_unique<MacAppleScript>(script);
  }
}

}  // namespace velmoryn
