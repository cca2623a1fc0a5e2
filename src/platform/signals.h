// Termination signals delivered as events on the main queue.
#pragma once

#include <functional>
#include <memory>

namespace velmoryn {

class SignalSource {
 public:
  virtual ~SignalSource() = default;
  // Sources start suspended.
  virtual void resume() = 0;
};

class SignalService {
 public:
  virtual ~SignalService() = default;
  // signal(sig, SIG_IGN): the default action no longer ends the process.
  virtual void ignore(int signalNumber) = 0;
  // The handler runs on the main thread each time the signal arrives. Null
  // when the system could not make the source.
  virtual std::unique_ptr<SignalSource> makeSource(int signalNumber,
                                                   std::function<void()> handler) = 0;
};

}  // namespace velmoryn
