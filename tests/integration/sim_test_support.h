// A simulated root in a temporary directory with the stand-in tools linked in.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "platform/autohide_script.h"
#include "platform/linux/files_linux.h"
#include "platform/posix/posix_process_runner.h"
#include "sim/dock_domain.h"
#include "sim/simulated_dock.h"

namespace velmoryn::simtest {

inline std::filesystem::path makeTemporaryDirectory() {
  std::string pattern = (std::filesystem::temp_directory_path() / "velmoryn-sim-XXXXXX").string();
  return ::mkdtemp(pattern.data());
}

struct SimRoot {
  SimRoot() { dock.ensureInstalled(); }
  ~SimRoot() { std::filesystem::remove_all(root, ignored); }

  ProcessResult run(const std::string& name, const std::vector<std::string>& args) {
    return runner.run({(root / "usr/bin" / name).string(), args, true});
  }

  // /bin/sh with the tools as commands, $D the domain, $L the autohide script less its last
  // word; standard error goes to `err`.
  ProcessResult shell(const std::string& line, std::string* err = nullptr) {
    const std::string prelude = "R='" + root.string() + "'; D=com.apple.dock; L='" +
                                std::string(kAutohideScriptLine) + "'; exec 2>\"$R/err\"; " +
                                "defaults() { \"$R/usr/bin/defaults\" \"$@\"; }; " +
                                "osascript() { \"$R/usr/bin/osascript\" \"$@\"; }; " +
                                "killall() { \"$R/usr/bin/killall\" \"$@\"; }; ";
    ProcessResult result = runner.run({"/bin/sh", {"-c", prelude + line}, true});
    if (err) *err = files::readAll(root / "err").value_or("");
    return result;
  }

  // While on, the in-process AppleScript fails, as when System Events does not answer.
  void failAppleScript(bool failing) const {
    std::filesystem::create_directories(root / "faults");
    if (failing) std::ofstream{root / "faults" / "applescript"};
    if (!failing) std::filesystem::remove(root / "faults" / "applescript");
  }

  // Every key with its type and text, whatever their order in the file.
  std::map<std::string, std::string> snapshot() const {
    std::map<std::string, std::string> keys;
    const dockdomain::Loaded loaded = dockdomain::load(root);
    for (const auto& key : loaded.domain.keys())
      keys[key] = *loaded.domain.typeName(key) + " " + *loaded.domain.text(key);
    return keys;
  }

  std::error_code ignored;
  const std::filesystem::path root = makeTemporaryDirectory();
  SimulatedDock dock{root, VELMORYN_BINARY_DIR};
  PosixProcessRunner runner;
};

}  // namespace velmoryn::simtest
