// In-process AppleScript. Main thread only.
#pragma once

#include <memory>
#include <string>

namespace velmoryn {

class AppleScript {
 public:
  virtual ~AppleScript() = default;
  virtual void compile() = 0;
  // True when the script reported an error.
  virtual bool executeReportsError() = 0;
};

class AppleScriptFactory {
 public:
  virtual ~AppleScriptFactory() = default;
  // Null when the script object could not be created.
  virtual std::unique_ptr<AppleScript> create(const std::string& source) = 0;
};

}  // namespace velmoryn
