// Builds the simulated desktop and the Linux adapters on the main thread,
// each at most once, and never tears them down: they live until the process
// ends, so an exit() from a signal handler cannot race destructors against
// the worker threads. The essentials come first and touch nothing; the rest
// waits until the entry point has decided, and a one-shot run gets only what
// it needs: "--hide" creates no file, "--status" only links the stand-in
// tools; a launch sets up the simulated Dock and loads the settings file.
#include <signal.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "platform/dock_tools.h"
#include "platform/linux/files_linux.h"
#include "platform/linux/icon_renderer_linux.h"
#include "platform/linux/log_linux.h"
#include "platform/linux/login_items_linux.h"
#include "platform/linux/run_loop_linux.h"
#include "platform/linux/settings_store_linux.h"
#include "platform/platform_factory.h"
#include "platform/posix/posix_instance_lock.h"
#include "platform/posix/posix_process_runner.h"
#include "sim/control_channel.h"
#include "sim/number_format.h"
#include "sim/simulated_apple_script.h"
#include "sim/simulated_application.h"
#include "sim/simulated_desktop.h"
#include "sim/simulated_dock.h"
#include "sim/simulated_running_instance.h"
#include "sim/simulated_tool_runner.h"

namespace velmoryn {
namespace {

namespace fs = std::filesystem;

fs::path ownExecutable() {
  std::error_code error;
  fs::path self = fs::read_symlink("/proc/self/exe", error);
  return error ? fs::path("/proc/self/exe") : self;
}

const char* orientationName(control::Edge edge) {
  switch (edge) {
    case control::Edge::left:
      return "left";
    case control::Edge::right:
      return "right";
    case control::Edge::bottom:
      break;
  }
  return "bottom";
}

std::string describeDock(const SimulatedDock& dock) {
  const SimulatedDock::View view = dock.view();
  std::string line = "autohide=";
  line += !view.autohide ? "none" : *view.autohide ? "on" : "off";
  line += " autohide-delay=" + (view.autohideDelay ? formatNumber(*view.autohideDelay) : "none");
  line += " orientation=" + view.orientation.value_or("none");
  line += " restarts=" + std::to_string(view.restarts);
  line += std::string(" dock=") + (dock.visible() ? "visible" : "hidden");
  return line;
}

// Tests only: VELMORYN_TEST_TOOL_TIME_LIMIT=SECONDS shortens the 10-second
// limit on every tool run, so that a test of a tool that never ends finishes
// quickly. Only a positive limit shorter than the real one is taken.
double toolTimeLimit() {
  const char* text = std::getenv("VELMORYN_TEST_TOOL_TIME_LIMIT");
  if (text == nullptr || *text == '\0') return kToolTimeLimit;
  char* end = nullptr;
  const double seconds = std::strtod(text, &end);
  if (*end != '\0' || !std::isfinite(seconds) || seconds <= 0 || seconds >= kToolTimeLimit)
    return kToolTimeLimit;
  return seconds;
}

class SimulatedPlatformServices : public PlatformServices {
 public:
  SimulatedPlatformServices(int argc, char** argv) : data(files::userDataDir() / "velmoryn") {
    // Output to a reader that went away must not end the program before it
    // has put the user's Dock settings back.
    ::signal(SIGPIPE, SIG_IGN);

    essential.log = log;
    essential.process = new SimulatedProcessEnvironment(argc, argv, *console);
    // Beside the settings file that holds the record: two copies that would
    // share a record share the lock, whatever else their folders are.
    essential.instanceLock =
        new PosixInstanceLock(defaultSettingsPath().parent_path() / "instance.lock");
  }

  const Platform& essentials() override { return essential; }

  const Platform& services(PlatformNeed need) override {
    if (need == PlatformNeed::everything) {
      if (!built) build();
      return installed;
    }
    needed = essential;
    switch (need) {
      case PlatformNeed::processRunner:
        standInDock()->installTools();
        needed.processes = toolRunner();
        break;
      case PlatformNeed::runningInstance:
        needed.runningInstance = runningInstance();
        break;
      case PlatformNeed::loginItems:
        needed.loginItems = loginItems();
        break;
      case PlatformNeed::everything:
        break;
    }
    return needed;
  }

 private:
  SimulatedDock* standInDock() {
    if (simulatedDock == nullptr) {
      simulatedDock = new SimulatedDock(data / "root", ownExecutable().parent_path());
    }
    return simulatedDock;
  }

  SimulatedToolRunner* toolRunner() {
    if (tools == nullptr)
      tools = new SimulatedToolRunner(*new PosixProcessRunner(toolTimeLimit()), *standInDock());
    return tools;
  }

  RunningInstance* runningInstance() {
    if (instance == nullptr)
      instance = new SimulatedRunningInstance(defaultControlSocketPath(data));
    return instance;
  }

  LoginItemService* loginItems() {
    if (items == nullptr) items = new AutostartLoginItems(defaultAutostartDir(), ownExecutable());
    return items;
  }

  void build() {
    built = true;
    auto* loop = new RunLoop;

    SimulatedDock* dock = standInDock();
    dock->ensureInstalled();
    dock->setChangeListener(
        [console = console](const std::string& line) { console->printLine(line); });
    SimulatedToolRunner* tools = toolRunner();

    DesktopHooks hooks;
    hooks.describe = [dock] { return describeDock(*dock); };
    hooks.setOrientation = [tools](control::Edge edge) -> std::optional<std::string> {
      const ProcessResult result = tools->run(
          {std::string(kDefaultsPath),
           {"write", std::string(kDockDomain), "orientation", "-string", orientationName(edge)}});
      if (!result.succeeded()) return "the Dock's orientation could not be written";
      return std::nullopt;
    };
    hooks.renderIcon = [](const IconImage& image, double scale, const fs::path& file) {
      return renderIconPng(image, scale, file);
    };
    auto* desktop = new SimulatedDesktop(*loop, *console, std::move(hooks));

    // Lives for the whole process, like the desktop: never deleted, by design.
    // NOLINTBEGIN(clang-analyzer-cplusplus.NewDeleteLeaks)
    auto* channel = new ControlChannel(
        *loop, *console, [desktop](const control::Command& command) { desktop->execute(command); });
    auto startControl = [channel, console = console, data = data] {
      const fs::path socketPath = defaultControlSocketPath(data);
      if (auto failure = channel->listen(socketPath)) {
        console->printLine("control: no socket (" + *failure + ")");
      } else {
        console->printLine("control: listening on " + socketPath.string());
      }
      channel->readFrom(STDIN_FILENO);
    };
    // NOLINTEND(clang-analyzer-cplusplus.NewDeleteLeaks)

    installed.processes = tools;
    installed.settings = new PlistSettingsStore(defaultSettingsPath(), *log);
    installed.loginItems = loginItems();
    installed.appleScript = new SimulatedAppleScriptFactory(*dock);
    installed.clock = new SystemClockLinux;
    installed.mainQueue = new MainQueueLinux(*loop);
    installed.utilityQueue = new UtilityQueueLinux;
    installed.timers = new TimerServiceLinux(*loop);
    installed.signals = new SignalServiceLinux(*loop);
    installed.screens = &desktop->screens();
    installed.scrollMonitor = &desktop->scrollMonitors();
    installed.statusBar = &desktop->statusBar();
    installed.hotKeys = &desktop->hotKeys();
    installed.log = log;
    auto* application = new SimulatedApplication(*loop, *console, desktop->events(), startControl);
    desktop->setOpenURL([application](const std::string& url) { application->openURLs({url}); });
    installed.application = application;
    installed.process = essential.process;
    installed.runningInstance = runningInstance();
    installed.instanceLock = essential.instanceLock;
  }

  const fs::path data;
  Console* const console = new Console;
  StderrLog* const log = new StderrLog("velmoryn");
  Platform essential;
  Platform needed;
  Platform installed;
  bool built = false;
  SimulatedDock* simulatedDock = nullptr;
  SimulatedToolRunner* tools = nullptr;
  RunningInstance* instance = nullptr;
  LoginItemService* items = nullptr;
};

}  // namespace

PlatformServices& makePlatformServices(int argc, char** argv) {
  static auto* built = new SimulatedPlatformServices(argc, argv);
  return *built;
}

}  // namespace velmoryn
