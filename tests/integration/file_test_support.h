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

// A fresh folder everyone may traverse (a test acting as an ordinary user
// reaches into it), removed with all it holds however its modes were left.
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
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;
  std::filesystem::path path;
};

// While alive, this thread's file-system checks are an ordinary user's: root
// would otherwise write into any folder whatever its mode.
struct ActingAsOrdinaryUser {
  ActingAsOrdinaryUser() { become(65534); }
  ~ActingAsOrdinaryUser() { become(0); }
  void become(int id) const {
    if (wasRoot) ::setfsuid(id), ::setfsgid(id);
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

inline unsigned modeOf(const std::filesystem::path& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

}  // namespace velmoryn::testing
