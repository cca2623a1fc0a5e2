// In-process AppleScript. Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace velmoryn {

class AppleScript {
 public:
  virtual ~AppleScript() = default;
  virtual void compile() = 0;
  // The error number the script reported (-1743: the user refused Automation);
  // none when it ran without error.
  virtual std::optional<std::int64_t> executeReportsError() = 0;
};

class AppleScriptFactory {
 public:
  virtual ~AppleScriptFactory() = default;
  // Null when the script object could not be created.
  virtual std::unique_ptr<AppleScript> create(const std::string& source) = 0;
};

}  // namespace velmoryn
