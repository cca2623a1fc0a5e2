#include "app/switch_failure.h"

#include "text/texts.h"

namespace velmoryn {
namespace {

// The AppleScript error numbers that mean the user has refused, or not yet
// given, the program control of System Events; only these send the user to
// the Automation settings, where an answer can change the outcome.
constexpr std::int64_t kAutomationRefused = -1743;       // errAEEventNotPermitted
constexpr std::int64_t kAutomationNeedsConsent = -1744;  // errAEEventWouldRequireUserConsent

}  // namespace

std::string switchFailureLine(std::optional<std::int64_t> scriptError) {
  if (!scriptError) return text::fill(text::kSwitchFailed, std::string(text::kSwitchNoScript));
  std::string cause = text::fill(text::kSwitchScriptError, std::to_string(*scriptError));
  if (*scriptError == kAutomationRefused || *scriptError == kAutomationNeedsConsent) {
    cause += text::kSwitchAutomationAdvice;
  }
  return text::fill(text::kSwitchFailed, cause);
}

}  // namespace velmoryn
