// The system log. The platform adds the timestamp, program name and process id.
#pragma once

#include <string>

namespace velmoryn {

class Log {
 public:
  virtual ~Log() = default;
  virtual void write(const std::string& line) = 0;
};

}  // namespace velmoryn
