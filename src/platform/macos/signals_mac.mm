#include "platform/macos/signals_mac.h"

#include <dispatch/dispatch.h>

#include <csignal>

namespace velmoryn {
namespace {

class MacSignalSource : public SignalSource {
 public:
  explicit MacSignalSource(dispatch_source_t source) : source(source) {}

  ~MacSignalSource() override {
    dispatch_source_cancel(source);
    // Releasing a suspended source is fatal; a cancelled one never calls back.
    if (!resumed) dispatch_resume(source);
  }

  void resume() override {
    if (resumed) return;  // a second resume would unbalance the source
    resumed = true;
    dispatch_resume(source);
  }

 private:
  dispatch_source_t source;
  bool resumed = false;
};

}  // namespace

void MacSignals::ignore(int signalNumber) { std::signal(signalNumber, SIG_IGN); }

std::unique_ptr<SignalSource> MacSignals::makeSource(int signalNumber,
                                                     std::function<void()> handler) {
  dispatch_source_t source =
      dispatch_source_create(DISPATCH_SOURCE_TYPE_SIGNAL, static_cast<uintptr_t>(signalNumber), 0,
                             dispatch_get_main_queue());
  if (source == nil) return nullptr;
  dispatch_source_set_event_handler(source, ^{
    if (handler) handler();
  });
  return std::make_unique<MacSignalSource>(source);
}

}  // namespace velmoryn
