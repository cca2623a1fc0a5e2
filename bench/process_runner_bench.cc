// What one Dock preference read costs: the program's whole round trip
// (Dock::runDefaults through the process runner and the simulated tool runner)
// beside a bare posix_spawn + waitpid of the same stand-in with the same
// arguments, and beside popen of it. All measured in wall-clock time, since
// the work happens in the child.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "dock/dock.h"
#include "platform/platform.h"
#include "platform/posix/posix_process_runner.h"
#include "sim/simulated_dock.h"
#include "sim/simulated_tool_runner.h"

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
  Dock operations;  // the program's own, running the stand-ins
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
    std::string value = desk().operations.runDefaults("read", "autohide").out;
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

// The three side by side in each iteration, so that the load of a shared
// machine, which drifts over seconds, weighs on all of them alike. The
// counters are medians in microseconds and the round trip's overhead over
// the bare spawn in percent.
void BM_Interleaved(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  const std::string path = desk().defaultsPath();
  std::vector<char*> argv = {const_cast<char*>(path.c_str())};
  for (const auto& a : kArgs) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  std::string command = "'" + path + "'";
  for (const auto& a : kArgs) command += " " + a;

  std::vector<double> bare, roundTrip, viaPopen;
  auto micros = [](Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
  };
  for (auto _ : state) {
    auto t0 = Clock::now();
    pid_t pid = -1;
    posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
    int status = 0;
    waitpid(pid, &status, 0);
    auto t1 = Clock::now();
    std::string value = desk().operations.runDefaults("read", "autohide").out;
    auto t2 = Clock::now();
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[256];
    while (pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
    }
    if (pipe != nullptr) pclose(pipe);
    auto t3 = Clock::now();
    if (value != "0") state.SkipWithError("unexpected output");
    bare.push_back(micros(t1 - t0));
    roundTrip.push_back(micros(t2 - t1));
    viaPopen.push_back(micros(t3 - t2));
  }
  posix_spawn_file_actions_destroy(&actions);
  auto median = [](std::vector<double> v) {
    if (v.empty()) return 0.0;
    std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
    return v[v.size() / 2];
  };
  const double b = median(bare), r = median(roundTrip), p = median(viaPopen);
  state.counters["bare_us"] = b;
  state.counters["roundtrip_us"] = r;
  state.counters["popen_us"] = p;
  state.counters["overhead_pct"] = b > 0 ? (r / b - 1.0) * 100.0 : 0.0;
}
BENCHMARK(BM_Interleaved)->UseRealTime()->Unit(benchmark::kMicrosecond)->MinTime(5.0);

}  // namespace
}  // namespace velmoryn

BENCHMARK_MAIN();
