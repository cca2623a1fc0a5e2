// Real files in temporary folders, for the tests of the adapters that keep files.
#pragma once

#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/linux/files_linux.h"

namespace velmoryn::testing {

// Traversable by an ordinary user; removed whatever modes a test left inside.
struct TemporaryFolder {
  TemporaryFolder() {
    char pattern[] = "/tmp/velmoryn-files-XXXXXX";
    path = ::mkdtemp(pattern);
    ::chmod(path.c_str(), 0755);
  }
  ~TemporaryFolder() {
    std::error_code ignored;
    for (std::filesystem::recursive_directory_iterator it(path, ignored), end; it != end;
         it.increment(ignored)) {
      if (it->is_directory(ignored)) ::chmod(it->path().c_str(), 0700);
    }
    std::filesystem::remove_all(path, ignored);
  }
  TemporaryFolder(const TemporaryFolder&) = delete;
  std::filesystem::path path;
};

// This thread's file checks as an ordinary user's: root writes anywhere.
struct ActingAsOrdinaryUser {
  ActingAsOrdinaryUser() { become(65534); }
  ~ActingAsOrdinaryUser() { become(0); }
  void become(int id) const {
    if (!wasRoot) return;
    ::setfsuid(id);
    ::setfsgid(id);
  }
  ActingAsOrdinaryUser(const ActingAsOrdinaryUser&) = delete;
  const bool wasRoot = ::geteuid() == 0;
};

inline std::string readFile(const std::filesystem::path& path) {
  return files::readAll(path).value_or("");
}

inline void writeFile(const std::filesystem::path& path, const std::string& contents) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << contents;
}

inline unsigned modeOf(const std::filesystem::path& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// The fsync ("fsync PATH") and rename ("rename FROM TO") calls made while `change` runs.
std::vector<std::string> fileCallsDuring(const std::function<void()>& change);

// While set, a rename reports success and loses the file, as a failing disk might.
extern bool renamesAreLost;

}  // namespace velmoryn::testing
