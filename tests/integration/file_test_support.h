// Real files in temporary folders, for the tests of the adapters that keep files.
#pragma once

#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/linux/files_linux.h"

namespace velmoryn::testing {

// A fresh folder that everyone may traverse (so that a test acting as an
// unprivileged user reaches its contents), removed with all it holds.
struct TemporaryFolder {
  TemporaryFolder() {
    char pattern[] = "/tmp/velmoryn-files-XXXXXX";
    path = ::mkdtemp(pattern);
    ::chmod(path.c_str(), 0755);
  }
  ~TemporaryFolder() {
    std::error_code ignored;
    for (auto it = std::filesystem::recursive_directory_iterator(path, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
      if (it->is_directory(ignored)) ::chmod(it->path().c_str(), 0700);
    }
    std::filesystem::remove_all(path, ignored);
  }
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;
  std::filesystem::path path;
};

// While alive, the file-system checks of this thread are those of an ordinary
// user: root would otherwise write into any folder whatever its mode.
struct ActingAsOrdinaryUser {
  ActingAsOrdinaryUser() {
    if (wasRoot) {
      ::setfsgid(65534);
      ::setfsuid(65534);
    }
  }
  ~ActingAsOrdinaryUser() {
    if (wasRoot) {
      ::setfsuid(0);
      ::setfsgid(0);
    }
  }
  ActingAsOrdinaryUser(const ActingAsOrdinaryUser&) = delete;
  ActingAsOrdinaryUser& operator=(const ActingAsOrdinaryUser&) = delete;
  const bool wasRoot = ::geteuid() == 0;
};

inline std::string readFile(const std::filesystem::path& path) {
  return files::readAll(path).value_or("");
}

inline void writeFile(const std::filesystem::path& path, const std::string& contents) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << contents;
}

}  // namespace velmoryn::testing
