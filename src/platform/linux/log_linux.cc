// Thread-safe.
#include "platform/linux/log_linux.h"

#include <sys/time.h>

#include <cstdio>
#include <ctime>

namespace velmoryn {
namespace {

std::string formatLine(const std::string& programName, const std::string& line) {
  struct timespec now {};
  clock_gettime(CLOCK_REALTIME, &now);
  struct tm local {};
  localtime_r(&now.tv_sec, &local);
  char stamp[64];
  std::size_t length = std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
  std::snprintf(stamp + length, sizeof stamp - length, ".%03ld",
                static_cast<long>(now.tv_nsec / 1000000));

  std::string text;
  text.reserve(line.size() + programName.size() + 64);
  text += stamp;
  text += ' ';
  text += programName;
  text += '[' + std::to_string(::getpid()) + ':' + std::to_string(::gettid()) + "] ";
  text += line;
  // Like the platform log, a line that already ends in a newline gets no second one.
  if (!line.empty() && line.back() == '\n') text.pop_back();
  return text;
}

}  // namespace

// The note is made on the writer thread, which may outlive the log: it keeps
// a name of its own.
StderrLog::StderrLog(std::string programName, int fd)
    : programName(programName), output(fd, [name = std::move(programName)](std::size_t dropped) {
        return formatLine(name,
                          std::to_string(dropped) + " lines dropped while standard error was full");
      }) {}

std::string StderrLog::format(const std::string& line) const {
  return formatLine(programName, line);
}

void StderrLog::write(const std::string& line) {
  output.add(format(line));
}

}  // namespace velmoryn
