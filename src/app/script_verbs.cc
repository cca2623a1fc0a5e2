#include "app/script_verbs.h"

#include <string>

#include "platform/platform.h"
#include "text/texts.h"

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
      process.printLine(text::kNotRunning);
      break;
    case UrlDelivery::Outcome::noAnswer:
      // A copy still launching takes the URL once it has finished: the verb
      // may well be carried out after this line.
      process.printLine(text::kNoAnswer);
      break;
    case UrlDelivery::Outcome::failed:
      process.printLine(text::fill(text::kNotDelivered, delivery.reason));
      break;
  }
  return 1;
}

// A missing key counts as shown, as at launch; any other failure tells nothing.
int answerStatus(const Dock& dock) {
  ProcessEnvironment& process = *platform().process;
  const ProcessResult result = dock.readAutohide();
  if (!result.succeeded() && !Dock::reportsMissingKey(result)) {
    const std::string exitStatus = std::to_string(result.exitStatus);
    process.printLine(!result.started         ? text::kStatusNotStarted
                      : result.timedOut       ? text::kStatusTimedOut
                      : result.outputTooLarge ? text::kStatusTooMuch
                                              : text::fill(text::kStatusExitStatus, exitStatus));
    return 2;
  }
  const bool hidden = result.succeeded() && result.out == "1";
  process.printLine(hidden ? text::kStatusHidden : text::kStatusShown);
  return hidden ? 0 : 1;
}

}  // namespace velmoryn
