// In-process AppleScript on NSAppleScript. Main thread only: execution spins a
// nested run loop while it waits for the answer.
#pragma once

#include "platform/apple_script.h"

namespace velmoryn {

class MacAppleScriptFactory : public AppleScriptFactory {
 public:
  std::unique_ptr<AppleScript> create(const std::string& source) override;
};

}  // namespace velmoryn
