#include "platform/macos/queues_mac.h"

#include <dispatch/dispatch.h>

#include <memory>
#include <utility>

namespace velmoryn {
namespace {

// The work travels as the context pointer; the queue runs it once and frees it.
void runWork(void* context) {
  std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(context));
  if (*work) (*work)();
}

void submit(dispatch_queue_t queue, std::function<void()> work) {
  dispatch_async_f(queue, new std::function<void()>(std::move(work)), runWork);
}

}  // namespace

void MacMainQueue::async(std::function<void()> work) {
  submit(dispatch_get_main_queue(), std::move(work));
}

void MacUtilityQueue::async(std::function<void()> work) {
  submit(dispatch_get_global_queue(QOS_CLASS_UTILITY, 0), std::move(work));
}

}  // namespace velmoryn
