// A simulated desktop on the real run loop, fed typed lines, and what its console printed.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <asio/steady_timer.hpp>

#include "integration/file_test_support.h"
#include "platform/linux/icon_renderer_linux.h"
#include "sim/control_channel.h"
#include "sim/simulated_desktop.h"

namespace velmoryn::testing {

class DesktopTest : public ::testing::Test {
 protected:
  DesktopTest() {
    console.addListener([this](const std::string& line) { printed += line + "\n"; });
  }

  bool runUntil(const std::function<bool()>& done) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    asio::steady_timer deadline(loop.context(), limit);
    deadline.async_wait([](const asio::error_code&) {});
    loop.runUntil([&] { return done() || std::chrono::steady_clock::now() >= limit; });
    return done();
  }
  bool runUntil(const std::string& line) {
    return runUntil([&] { return ("\n" + printed).find("\n" + line + "\n") != std::string::npos; });
  }

  // A line as a person types it and all that the console prints for it.
  struct Typed {
    std::string typed;
    std::string printed;
  };
  // Typed in one go, as a menu stays open between lines.
  void expectTranscript(const std::vector<Typed>& transcript) {
    std::string expected, typedLines;
    for (const auto& [typed, output] : transcript) {
      source->feed(typed);
      expected += output.empty() ? "" : output + "\n";
      typedLines += typed + "\n";
    }
    runUntil([&] { return source->idle(); });
    EXPECT_EQ(std::exchange(printed, ""), expected) << "typed:\n" << typedLines;
  }

  // Never torn down, as in the program: a detached stdin reader may still post to it.
  static RunLoop& loopThatOutlivesTheTest() {
    static auto& loops = *new std::vector<std::unique_ptr<RunLoop>>;
    return *loops.emplace_back(std::make_unique<RunLoop>());
  }

  TemporaryFolder folder;
  const std::filesystem::path socketPath = folder.path / "run" / "velmoryn" / "control.sock";
  RunLoop& loop = loopThatOutlivesTheTest();
  Console console;
  std::string printed;
  static std::optional<std::string> refuseBottom(control::Edge edge) {
    return edge == control::Edge::bottom ? "the Dock refused" : std::optional<std::string>();
  }
  SimulatedDesktop desktop{
      loop, console, {[] { return std::string("dock=visible"); }, refuseBottom, renderIconPng}};
  CommandSource::Execute execute = [this](const control::Command& c) { desktop.execute(c); };
  std::shared_ptr<CommandSource> source = std::make_shared<CommandSource>(loop, console, execute);
  ControlChannel channel{loop, console, execute};
};

}  // namespace velmoryn::testing
