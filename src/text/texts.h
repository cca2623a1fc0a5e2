// Every text a person sees from the program: the menu, the status item's
// tooltip, the command line's answers and the system log's lines, together
// for a translator or a reviewer. "{}" marks where fill() puts a value. This
// header includes nothing, so every folder of the program may include it.
#pragma once

namespace velmoryn::text {

// The pattern with its one "{}" replaced by `value`; any string type that
// can be appended to will do.
template <typename String>
String fill(const char* pattern, const String& value) {
  String out;
  for (const char* c = pattern; *c != '\0'; ++c) {
    if (c[0] == '{' && c[1] == '}') {
      out += value;
      ++c;
    } else {
      out += *c;
    }
  }
  return out;
}

// ---- The menu and the status item ----------------------------------------

inline constexpr char kMenuHide[] = "Dockを隠す";
inline constexpr char kMenuShow[] = "Dockを表示";
inline constexpr char kMenuShortcut[] = "ショートカット: ⌃⌥⌘D";
inline constexpr char kMenuSwipe[] = "画面端のスワイプで一時表示";
inline constexpr char kMenuSwipeToolTip[] =
    "Dockのある画面端にポインタを置いて上へスワイプ（マウスはスクロール）すると、"
    "Dockを一時的に持ち上げます。";
inline constexpr char kMenuExternalDisplay[] = "外部ディスプレイ接続中はDockを表示";
inline constexpr char kMenuLogin[] = "ログイン時に起動";
inline constexpr char kMenuQuit[] = "Velmoryn を終了";
// The tooltip, also read by VoiceOver.
inline constexpr char kToolTipHidden[] = "Velmoryn / Dock非表示中";
inline constexpr char kToolTipShown[] = "Velmoryn / Dock表示中";

// ---- The command line ------------------------------------------------------

inline constexpr char kVersion[] = "Velmoryn {}";

// --login status, and the line after --login on and off.
inline constexpr char kLoginNotRegistered[] = "未登録（ログイン時に起動しません）";
inline constexpr char kLoginEnabled[] = "登録済み（ログイン時に起動します）";
inline constexpr char kLoginRequiresApproval[] =
    "要許可（システム設定 > 一般 > ログイン項目 で有効にしてください）";
inline constexpr char kLoginNotFound[] = "未登録（/Applications に入れてから実行してください）";
inline constexpr char kLoginUnknown[] = "不明";
// The system's one-line message follows.
inline constexpr char kLoginOnFailed[] = "登録に失敗しました: {}";
inline constexpr char kLoginOffFailed[] = "解除に失敗しました: {}";
inline constexpr char kLoginUsage[] = "使い方: --login on|off|status";

// --register-login and --unregister-login, for scripts: the status number, or
// the system's full description.
inline constexpr char kLoginCommandStatus[] = "status: {} (1=enabled)";
inline constexpr char kLoginCommandError[] = "error: {}";

// --hide, --show and --toggle.
inline constexpr char kNotRunning[] = "Velmorynは起動していません";
inline constexpr char kNoAnswer[] =
    "Velmorynが1秒以内に応答しませんでした。この操作はあとで実行されることがあります";
inline constexpr char kNotDelivered[] = "Velmorynに伝えられませんでした（{}）";

// --status.
inline constexpr char kStatusHidden[] = "Dock非表示中";
inline constexpr char kStatusShown[] = "Dock表示中";
inline constexpr char kStatusNotStarted[] = "error: /usr/bin/defaults could not be started";
inline constexpr char kStatusTimedOut[] = "error: /usr/bin/defaults did not end in time";
inline constexpr char kStatusTooMuch[] = "error: /usr/bin/defaults printed far too much";
inline constexpr char kStatusExitStatus[] = "error: /usr/bin/defaults ended with status {}";

// ---- The system log --------------------------------------------------------

inline constexpr char kAlreadyRunning[] =
    "Velmoryn: すでに起動しています。この起動は何も変更せずに終了します";
inline constexpr char kLockNotTaken[] =
    "Velmoryn: 二重起動を防ぐロックを取れませんでした（{}）。このまま起動します";
inline constexpr char kAutoRegisterFailed[] = "Velmoryn: ログイン時起動の登録に失敗しました（{}）";
inline constexpr char kLoginChangeFailed[] = "ログイン項目の変更に失敗: {}";
inline constexpr char kNotRecorded[] =
    "Velmoryn: Dockの設定を読み取れなかったため、何も変更しませんでした。"
    "次回の起動時にもう一度記録します";
inline constexpr char kNotSaved[] =
    "Velmoryn: Dockの設定の記録を保存できなかったため、何も変更しませんでした。"
    "次回の起動時にもう一度記録します";
inline constexpr char kNotRestored[] =
    "Velmoryn: Dockの設定を元に戻せませんでした。記録を残し、次回の終了時にもう一度戻します";
inline constexpr char kSignalNotReceived[] =
    "Velmoryn: シグナル {} を受け取れませんでした。このシグナルでは終了しません";
inline constexpr char kUnknownUrl[] = "Velmoryn: 不明なURLを無視しました: {}";
inline constexpr char kHotKeyNotRegistered[] =
    "Velmoryn: ショートカット ⌃⌥⌘D を登録できませんでした（{}）";
// A switch of the Dock that did not take: the cause follows the first part,
// and the advice when the user can give the permission that is missing.
inline constexpr char kSwitchFailed[] = "Velmoryn: Dockの切り替えに失敗しました{}";
inline constexpr char kSwitchNoScript[] = "（切り替え用の AppleScript を用意できませんでした）";
inline constexpr char kSwitchScriptError[] = "（AppleScript エラー {}）";
inline constexpr char kSwitchAutomationAdvice[] =
    "。システム設定 > プライバシーとセキュリティ > オートメーション で "
    "Velmoryn に System Events の操作を許可してください";

}  // namespace velmoryn::text
