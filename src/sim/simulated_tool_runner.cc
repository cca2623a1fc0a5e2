// Any thread, as the wrapped runner.
#include "sim/simulated_tool_runner.h"

namespace velmoryn {

ProcessResult SimulatedToolRunner::run(const ProcessRequest& request) {
  ProcessRequest mapped = request;
  mapped.path = dock.mapToolPath(request.path);
  ProcessResult result = inner.run(mapped);
  dock.noteChange();
  return result;
}

}  // namespace velmoryn
