// A simulated root in a temporary directory with the stand-in tools linked
// in, for the tests of the stand-ins, the simulated Dock and the round trip.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/linux/files_linux.h"
#include "platform/posix/posix_process_runner.h"
#include "sim/dock_domain.h"
#include "sim/simulated_dock.h"

namespace velmoryn::simtest {

inline std::filesystem::path makeTemporaryDirectory() {
  std::string pattern = (std::filesystem::temp_directory_path() / "velmoryn-sim-XXXXXX").string();
  const char* made = mkdtemp(pattern.data());
  return made != nullptr ? std::filesystem::path(made) : std::filesystem::path();
}

inline std::string readBytes(const std::filesystem::path& file) {
  return files::readAll(file).value_or("");
}

inline void writeBytes(const std::filesystem::path& file, const std::string& bytes) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << bytes;
}

// What a tool printed on each stream and how it ended.
struct ToolRun {
  bool started = false;
  int status = -1;
  std::string out;
  std::string err;
};

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

  // Runs the stand-in once; its standard error goes to a file through a shell,
  // since the runner itself drops that stream.
  ToolRun run(const std::string& name, const std::vector<std::string>& args) {
    const std::filesystem::path errFile = root / "stderr.txt";
    std::vector<std::string> shellArgs = {"-c", "exec \"$0\" \"$@\" 2>\"" + errFile.string() + "\"",
                                          tool(name)};
    shellArgs.insert(shellArgs.end(), args.begin(), args.end());
    const ProcessResult out = runner.run({"/bin/sh", shellArgs, true});
    ToolRun result;
    result.started = out.started;
    result.status = out.exitStatus;
    result.out = out.out;
    result.err = readBytes(errFile);
    std::filesystem::remove(errFile);
    return result;
  }

  // Changes the domain without leaving a trace in it: for setting the scene.
  ProcessResult quietly(const std::string& name, const std::vector<std::string>& args) {
    return runner.run({tool(name), args, true});
  }

  // While on, the in-process AppleScript reports an error, as when System
  // Events does not answer.
  void failAppleScript(bool failing) const {
    const std::filesystem::path file = root / "faults" / "applescript";
    std::error_code ec;
    if (!failing) {
      std::filesystem::remove(file, ec);
      return;
    }
    std::filesystem::create_directories(file.parent_path(), ec);
    std::ofstream(file).close();
  }

  std::filesystem::path domainFile() const { return dockdomain::domainFile(root); }
  std::string domainBytes() const { return readBytes(domainFile()); }

  // Every key with its type and text, independent of the order in the file.
  std::map<std::string, std::pair<std::string, std::string>> snapshot() const {
    std::map<std::string, std::pair<std::string, std::string>> keys;
    const dockdomain::Loaded loaded = dockdomain::load(root);
    for (const auto& key : loaded.domain.keys()) {
      keys[key] = {*loaded.domain.typeName(key), *loaded.domain.text(key)};
    }
    return keys;
  }

  std::filesystem::path root;
  SimulatedDock dock;
  PosixProcessRunner runner;
};

}  // namespace velmoryn::simtest
