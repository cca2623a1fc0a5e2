// A simulated root in a temporary directory with the stand-in tools linked
// in, for the tests of the stand-ins, the simulated Dock and the round trip.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "platform/linux/files_linux.h"
#include "platform/posix/posix_process_runner.h"
#include "sim/dock_domain.h"
#include "sim/simulated_dock.h"

namespace velmoryn::simtest {

inline std::filesystem::path makeTemporaryDirectory() {
  std::string pattern = (std::filesystem::temp_directory_path() / "velmoryn-sim-XXXXXX").string();
  return ::mkdtemp(pattern.data());
}

class SimRoot {
 public:
  SimRoot() : root(makeTemporaryDirectory()), dock(root, VELMORYN_BINARY_DIR) {
    dock.ensureInstalled();
  }
  ~SimRoot() {
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }
  SimRoot(const SimRoot&) = delete;
  SimRoot& operator=(const SimRoot&) = delete;

  std::string tool(const std::string& name) const { return (root / "usr/bin" / name).string(); }

  // Runs a stand-in; its standard error lands in `err` through a shell, since
  // the runner drops that stream.
  ProcessResult run(const std::string& name, const std::vector<std::string>& args,
                    std::string* err = nullptr) {
    const std::filesystem::path errFile = root / "stderr.txt";
    std::vector<std::string> shellArgs = {"-c", "exec \"$0\" \"$@\" 2>'" + errFile.string() + "'",
                                          tool(name)};
    shellArgs.insert(shellArgs.end(), args.begin(), args.end());
    ProcessResult result = runner.run({"/bin/sh", shellArgs, true});
    if (err) *err = files::readAll(errFile).value_or("");
    return result;
  }

  // While on, the in-process AppleScript fails, as when System Events does not answer.
  void failAppleScript(bool failing) const {
    const std::filesystem::path file = root / "faults" / "applescript";
    std::filesystem::create_directories(file.parent_path());
    if (failing) std::ofstream{file};
    if (!failing) std::filesystem::remove(file);
  }

  std::string domainBytes() const {
    return files::readAll(dockdomain::domainFile(root)).value_or("");
  }

  // Every key with its type and text, whatever their order in the file.
  std::map<std::string, std::string> snapshot() const {
    std::map<std::string, std::string> keys;
    const dockdomain::Loaded loaded = dockdomain::load(root);
    for (const auto& key : loaded.domain.keys())
      keys[key] = *loaded.domain.typeName(key) + " " + *loaded.domain.text(key);
    return keys;
  }

  std::filesystem::path root;
  SimulatedDock dock;
  PosixProcessRunner runner;
};

}  // namespace velmoryn::simtest
