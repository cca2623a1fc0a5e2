// The system status bar and the program's item in it. Main thread only.
#pragma once

#include "platform/status_bar.h"

namespace velmoryn {

class MacStatusBar : public StatusBar {
 public:
  std::unique_ptr<StatusItem> statusItem(double length) override;
};

}  // namespace velmoryn
