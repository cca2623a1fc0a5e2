// Cost of EdgeReveal's scroll recogniser per event, which runs for every
// scroll-wheel event in the system, beside an empty std::function call; and
// proof that neither the guard path nor the full path allocates on the heap.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "dock/dock.h"
#include "fakes/fake_platform.h"
#include "reveal/edge_reveal.h"

// ---- counting allocator: every global new in this binary goes through here.

namespace {
std::atomic<long long> gAllocations{0};

void* countedAllocate(std::size_t size) {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}

void* countedAllocateAligned(std::size_t size, std::align_val_t align) {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  const auto alignment = static_cast<std::size_t>(align);
  const std::size_t rounded = (size + alignment - 1) / alignment * alignment;
  if (void* p = std::aligned_alloc(alignment, rounded == 0 ? alignment : rounded)) return p;
  throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t size) {
  return countedAllocate(size);
}
void* operator new[](std::size_t size) {
  return countedAllocate(size);
}
void* operator new(std::size_t size, std::align_val_t align) {
  return countedAllocateAligned(size, align);
}
void* operator new[](std::size_t size, std::align_val_t align) {
  return countedAllocateAligned(size, align);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
  std::free(p);
}

namespace velmoryn {
namespace {

// Hands events straight to the installed handler, so that the measurement is
// the handler itself (weak lock and recogniser) and not a copy of a handler map.
class DirectScrollMonitor : public ScrollMonitorService {
 public:
  std::optional<MonitorToken> addGlobalMonitor(
      std::uint64_t, std::function<void(const ScrollEvent&)> installed) override {
    handler = std::move(installed);
    return MonitorToken{1};
  }
  void removeMonitor(MonitorToken) override { handler = nullptr; }
  void deliver(const ScrollEvent& event) { handler(event); }

 private:
  std::function<void(const ScrollEvent&)> handler;
};

// A desktop of two screens side by side with the Dock at the bottom, the
// platform's fakes installed and an EdgeReveal listening.
struct Desk {
  Desk(bool gestureOn, bool dockHidden) : enabled(gestureOn), hidden(dockHidden) {
    Platform services = platform();
    services.scrollMonitor = &monitor;
    installPlatform(services);
    dock.primeEdge();  // the edge cache stays fresh: the manual clock does not move
    fake.screens.list = {Screen{{0, 0, 1440, 900}, {0, 70, 1440, 805}},
                         Screen{{1440, 0, 1920, 1080}, {1440, 70, 1920, 985}}};
    fake.screens.pointer = {2000, 2};  // on the second screen, in the bottom zone
    reveal->isEnabled = [this] { return enabled; };
    reveal->isDockHidden = [this] { return hidden; };
    reveal->onReveal = [this] { ++reveals; };
    reveal->start();
  }
  ~Desk() { reveal->stop(); }

  testing::FakePlatform fake;
  DirectScrollMonitor monitor;
  bool enabled;
  bool hidden;
  int reveals = 0;
  Dock dock;
  std::shared_ptr<EdgeReveal> reveal = EdgeReveal::create(dock);
};

// Runs the loop, then fails the benchmark if any event allocated.
template <typename Body>
void measure(benchmark::State& state, Body&& body) {
  const long long before = gAllocations.load(std::memory_order_relaxed);
  for (auto _ : state) body();
  const long long allocations = gAllocations.load(std::memory_order_relaxed) - before;
  const auto iterations = static_cast<double>(state.iterations());
  state.counters["allocs_per_event"] = static_cast<double>(allocations) / iterations;
  if (allocations != 0) {
    state.SkipWithError(
        ("heap allocations in the measured loop: " + std::to_string(allocations)).c_str());
  }
}

void BM_EmptyStdFunctionCall(benchmark::State& state) {
  std::function<void()> empty = [] {};
  measure(state, [&] {
    benchmark::DoNotOptimize(empty);  // forces a real call through the wrapper
    empty();
  });
}
BENCHMARK(BM_EmptyStdFunctionCall);

void BM_HandleGuardGestureOff(benchmark::State& state) {
  Desk desk(/*gestureOn=*/false, /*dockHidden=*/true);
  const ScrollEvent event{true, false, 4, 0};
  measure(state, [&] { desk.monitor.deliver(event); });
}
BENCHMARK(BM_HandleGuardGestureOff);

void BM_HandleGuardDockShown(benchmark::State& state) {
  Desk desk(/*gestureOn=*/true, /*dockHidden=*/false);
  const ScrollEvent event{true, false, 4, 0};
  measure(state, [&] { desk.monitor.deliver(event); });
}
BENCHMARK(BM_HandleGuardDockShown);

// Every event passes the guards, finds the second screen, lies in the zone and
// reaches the amount; a counted 4 points alternates with a resetting event, so
// the trigger is never reached.
void BM_HandleFullPath(benchmark::State& state) {
  Desk desk(/*gestureOn=*/true, /*dockHidden=*/true);
  const ScrollEvent events[2] = {{true, false, 4, 0}, {true, false, -1, 0}};
  unsigned next = 0;
  measure(state, [&] { desk.monitor.deliver(events[next++ & 1u]); });
  if (desk.reveals != 0 || desk.reveal->isRevealing()) {
    state.SkipWithError("the full-path events reached the trigger");
  }
}
BENCHMARK(BM_HandleFullPath);

// Prints each result as usual, then the recogniser's paths as multiples of the
// empty std::function call measured in the same run (CPU time, which a busy
// machine disturbs less than wall time).
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      // Single runs and the mean and median of repetitions; a spread is no time.
      const std::string& kind = run.aggregate_name;
      if (run.error_occurred || !(kind.empty() || kind == "mean" || kind == "median")) continue;
      times[{run.run_name.function_name, kind}] = run.GetAdjustedCPUTime();
    }
  }

  void printRatios() const {
    for (const auto& [key, time] : times) {
      const auto& [name, kind] = key;
      if (name == kEmpty) continue;
      const auto empty = times.find({kEmpty, kind});
      if (empty == times.end() || empty->second <= 0) continue;
      std::printf("%-26s %-6s %6.2f x empty std::function call\n", name.c_str(), kind.c_str(),
                  time / empty->second);
    }
  }

 private:
  static constexpr const char* kEmpty = "BM_EmptyStdFunctionCall";
  std::map<std::pair<std::string, std::string>, double> times;
};

}  // namespace
}  // namespace velmoryn

// The counts mean something only if the replacement operator new is the one in use.
bool allocationsAreCounted() {
  const long long before = gAllocations.load(std::memory_order_relaxed);
  int* probe = new int(0);
  benchmark::DoNotOptimize(probe);
  delete probe;
  return gAllocations.load(std::memory_order_relaxed) > before;
}

int main(int argc, char** argv) {
  if (!allocationsAreCounted()) {
    std::fprintf(stderr, "the counting operator new is not in use\n");
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  velmoryn::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.printRatios();
  benchmark::Shutdown();
  return 0;
}
