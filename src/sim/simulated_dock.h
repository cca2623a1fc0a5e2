// The Dock of the simulated desktop: the stand-in tools installed under a
// root directory, its "com.apple.dock" domain, and a readable line for each
// change that a tool or the in-process AppleScript made. Thread-safe; the
// change listener runs on whichever thread noticed the change.
#pragma once

#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

namespace velmoryn {

class SimulatedDock {
 public:
  struct View {
    std::optional<bool> autohide;
    std::optional<double> autohideDelay;
    std::optional<std::string> orientation;
    long restarts = 0;

    bool operator==(const View&) const = default;
  };

  // `toolsDir` holds the stand-in program velmoryn-simtool.
  SimulatedDock(std::filesystem::path root, std::filesystem::path toolsDir);

  // Links each of the Dock's tools (platform/dock_tools.h), at its path under
  // the root, to the stand-in, replacing stale links; changes nothing where
  // they are in place.
  void installTools();
  // The tools and, when there is no domain yet, the one a typical user has:
  // autohide off, no delay, no orientation.
  void ensureInstalled();

  // The path of one of the Dock's tools moved under the root; any other path
  // unchanged.
  std::string mapToolPath(const std::string& path) const;

  View view() const;

  // Switches autohide as "System Events" would; false when it could not be written.
  bool setAutohide(bool on);

  // Reports each difference from the view last seen as one line, such as
  // "dock: autohide on" or "dock: restarted".
  void setChangeListener(std::function<void(const std::string&)> listener);
  void noteChange();

  // The simulated Dock stays on screen unless it hides itself.
  bool visible() const;

  // Tests only: true while the fault file <root>/faults/<name> exists.
  bool faulty(const std::string& name) const;

 private:
  const std::filesystem::path root;
  const std::filesystem::path toolsDir;

  // The files as last read, so that a run which changed nothing costs two
  // small reads and no parsing.
  struct Files {
    std::optional<std::string> domain;
    std::optional<std::string> restarts;
    bool operator==(const Files&) const = default;
  };
  Files readFiles() const;
  static View viewOf(const Files& files);

  mutable std::mutex mutex;
  Files lastFiles;
  View lastSeen;
  std::function<void(const std::string&)> listener;
};

}  // namespace velmoryn
