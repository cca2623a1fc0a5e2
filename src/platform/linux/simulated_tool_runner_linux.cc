// Any thread, as the wrapped runner.
#include "platform/linux/simulated_tool_runner_linux.h"

namespace velmoryn {

ProcessResult SimulatedToolRunner::run(const ProcessRequest& request) {
  ProcessRequest mapped = request;
  mapped.path = dock.mapToolPath(request.path);
  ProcessResult result = inner.run(mapped);
  dock.noteChange();
  return result;
}

}  // namespace velmoryn
