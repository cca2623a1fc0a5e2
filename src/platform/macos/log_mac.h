// The system log through NSLog. Any thread.
#pragma once

#include "platform/log.h"

namespace velmoryn {

class MacLog : public Log {
 public:
  void write(const std::string& line) override;
};

}  // namespace velmoryn
