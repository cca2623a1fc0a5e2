// What one Dock preference read costs: the program's whole round trip
// (Dock::defaults through the process runner and the simulated tool runner)
// beside a bare posix_spawn + waitpid of the same stand-in with the same
// arguments, and beside popen of it. All measured in wall-clock time, since
// the work happens in the child.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "dock/dock.h"
#include "platform/linux/simulated_dock_linux.h"
#include "platform/linux/simulated_tool_runner_linux.h"
#include "platform/platform.h"
#include "platform/posix/posix_process_runner.h"

extern char** environ;

namespace velmoryn {
namespace {

namespace fs = std::filesystem;

// One simulated root for the whole run, removed at exit.
struct Desk {
  Desk() {
    std::string pattern = (fs::temp_directory_path() / "velmoryn-bench-XXXXXX").string();
    root = mkdtemp(pattern.data());
    dock = std::make_unique<SimulatedDock>(root, VELMORYN_BINARY_DIR);
    dock->ensureInstalled();
    tools = std::make_unique<SimulatedToolRunner>(runner, *dock);
    Platform p;
    p.processes = tools.get();
    installPlatform(p);
  }
  ~Desk() {
    installPlatform(Platform{});
    std::error_code ec;
    fs::remove_all(root, ec);
  }
  std::string defaultsPath() const { return dock->mapToolPath("/usr/bin/defaults"); }

  fs::path root;
  PosixProcessRunner runner;
  std::unique_ptr<SimulatedDock> dock;
  std::unique_ptr<SimulatedToolRunner> tools;
};

Desk& desk() {
  static Desk d;
  return d;
}

const std::vector<std::string> kArgs = {"read", "com.apple.dock", "autohide"};

void BM_DockDefaultsRoundTrip(benchmark::State& state) {
  desk();
  for (auto _ : state) {
    std::string value = Dock::defaults(kArgs);
    if (value != "0") state.SkipWithError("unexpected output");
    benchmark::DoNotOptimize(value);
  }
}
BENCHMARK(BM_DockDefaultsRoundTrip)->UseRealTime()->Unit(benchmark::kMicrosecond);

// The same run without the simulated desktop's bookkeeping around it.
void BM_PosixProcessRunner(benchmark::State& state) {
  const ProcessRequest request{desk().defaultsPath(), kArgs, true};
  for (auto _ : state) {
    ProcessResult result = desk().runner.run(request);
    if (result.out != "0\n") state.SkipWithError("unexpected output");
    benchmark::DoNotOptimize(result);
  }
}
BENCHMARK(BM_PosixProcessRunner)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_BarePosixSpawn(benchmark::State& state) {
  const std::string path = desk().defaultsPath();
  std::vector<char*> argv = {const_cast<char*>(path.c_str())};
  for (const auto& a : kArgs) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  for (auto _ : state) {
    pid_t pid = -1;
    if (posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
      state.SkipWithError("posix_spawn failed");
      break;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("tool failed");
  }
  posix_spawn_file_actions_destroy(&actions);
}
BENCHMARK(BM_BarePosixSpawn)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_Popen(benchmark::State& state) {
  std::string command = "'" + desk().defaultsPath() + "'";
  for (const auto& a : kArgs) command += " " + a;
  for (auto _ : state) {
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
      state.SkipWithError("popen failed");
      break;
    }
    std::string out;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
    if (pclose(pipe) != 0 || out != "0\n") state.SkipWithError("tool failed");
  }
}
BENCHMARK(BM_Popen)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace velmoryn

BENCHMARK_MAIN();
