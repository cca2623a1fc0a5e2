#include "app/script_verbs.h"

#include <string>

#include "dock/dock.h"
#include "platform/platform.h"

namespace velmoryn {
namespace {

// defaults prints nothing and ends with status 1 for a missing key, which
// counts as shown, as at launch; any other failure tells nothing.
int runStatus(ProcessEnvironment& process) {
  const ProcessResult result = Dock::runDefaults({"read", std::string(Dock::domain), "autohide"});
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

UrlCommand commandFor(ScriptVerb verb) {
  switch (verb) {
    case ScriptVerb::hide:
      return UrlCommand::hide;
    case ScriptVerb::show:
      return UrlCommand::show;
    case ScriptVerb::toggle:
    case ScriptVerb::status:
      break;
  }
  return UrlCommand::toggle;
}

}  // namespace

int runScriptVerb(ScriptVerb verb) {
  ProcessEnvironment& process = *platform().process;
  if (verb == ScriptVerb::status) return runStatus(process);

  const UrlDelivery delivery =
      platform().runningInstance->openURL(urlFor(commandFor(verb)), kScriptAnswerLimit);
  switch (delivery.outcome) {
    case UrlDelivery::Outcome::delivered:
      return 0;
    case UrlDelivery::Outcome::notRunning:
      process.printLine(kNotRunningLine);
      break;
    case UrlDelivery::Outcome::noAnswer:
      // A copy still launching takes the URL once it has finished: the verb
      // may well be carried out after this line.
      process.printLine(kNoAnswerLine);
      break;
    case UrlDelivery::Outcome::failed:
      process.printLine("Velmorynに伝えられませんでした（" + delivery.reason + "）");
      break;
  }
  return 1;
}

}  // namespace velmoryn
