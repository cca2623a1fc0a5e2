// Termination signals as dispatch sources on the main queue.
#pragma once

#include "platform/signals.h"

namespace velmoryn {

class MacSignals : public SignalService {
 public:
  void ignore(int signalNumber) override;
  std::unique_ptr<SignalSource> makeSource(int signalNumber,
                                           std::function<void()> handler) override;
};

}  // namespace velmoryn
