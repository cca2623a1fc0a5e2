#include "app/switch_failure.h"

namespace velmoryn {

std::string switchFailureLine(std::optional<std::int64_t> scriptError) {
  const std::string failed = "Velmoryn: Dockの切り替えに失敗しました";
  if (!scriptError) return failed + "（切り替え用の AppleScript を用意できませんでした）";
  std::string line = failed + "（AppleScript エラー " + std::to_string(*scriptError) + "）";
  if (*scriptError != kAutomationRefused && *scriptError != kAutomationNeedsConsent) return line;
  return line +
         "。システム設定 > プライバシーとセキュリティ > オートメーション で "
         "Velmoryn に System Events の操作を許可してください";
}

}  // namespace velmoryn
