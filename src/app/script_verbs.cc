#include "app/script_verbs.h"

#include <string>

#include "platform/platform.h"

namespace velmoryn {
namespace {

// How long the running program has to take a URL.
constexpr double kAnswerLimit = 1.0;

}  // namespace

int sendToRunningProgram(UrlCommand command) {
  ProcessEnvironment& process = *platform().process;
  const UrlDelivery delivery = platform().runningInstance->openURL(urlFor(command), kAnswerLimit);
  switch (delivery.outcome) {
    case UrlDelivery::Outcome::delivered:
      return 0;
    case UrlDelivery::Outcome::notRunning:
      process.printLine("Velmorynは起動していません");
      break;
    case UrlDelivery::Outcome::noAnswer:
      // A copy still launching takes the URL once it has finished: the verb
      // may well be carried out after this line.
      process.printLine(
          "Velmorynが1秒以内に応答しませんでした。この操作はあとで実行されることがあります");
      break;
    case UrlDelivery::Outcome::failed:
      process.printLine("Velmorynに伝えられませんでした（" + delivery.reason + "）");
      break;
  }
  return 1;
}

// defaults prints nothing and ends with status 1 for a missing key, which
// counts as shown, as at launch; any other failure tells nothing.
int answerStatus(const Dock& dock) {
  ProcessEnvironment& process = *platform().process;
  const ProcessResult result = dock.runDefaults({"read", std::string(Dock::domain), "autohide"});
  const bool missing =
      result.started && !result.timedOut && result.exitStatus == 1 && result.out.empty();
  if (!result.succeeded() && !missing) {
    process.printLine(!result.started         ? "error: /usr/bin/defaults could not be started"
                      : result.timedOut       ? "error: /usr/bin/defaults did not end in time"
                      : result.outputTooLarge ? "error: /usr/bin/defaults printed far too much"
                                              : "error: /usr/bin/defaults ended with status " +
                                                    std::to_string(result.exitStatus));
    return 2;
  }
  const bool hidden = result.succeeded() && result.out == "1";
  process.printLine(hidden ? "Dock非表示中" : "Dock表示中");
  return hidden ? 0 : 1;
}

}  // namespace velmoryn
