#include "platform/posix/posix_process_runner.h"

// Placeholder body.
namespace velmoryn {
ProcessResult PosixProcessRunner::run(const ProcessRequest&) { return {}; }
}  // namespace velmoryn
