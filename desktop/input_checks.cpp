#include "desktop/input_checks.h"

#include <string_view>

#include "desktop/online_probe.h"
#include "dialogs/message_dialog.h"

namespace {

bool IsAsciiLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

bool IsLocalChar(unsigned char c) {
  return IsAsciiLetter(c) || IsDigit(c) || c == '_' || c == '.' || c == '-';
}

bool IsDomainChar(unsigned char c) {
  return IsAsciiLetter(c) || IsDigit(c) || c == '.' || c == '-';
}

bool IsDotOrHyphen(char c) { return c == '.' || c == '-'; }

TOnlineProbe& Probe() {
  static TOnlineProbe probe;
  return probe;
}

}  // namespace

bool IsAlphaName(const std::string& Text) {
  for (const char c : Text) {
    if (c != ' ' && !IsAsciiLetter(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

bool IsValidEmail(const std::string& Text) {
  const size_t at = Text.find('@');
  if (at == std::string::npos) return false;
  const std::string_view local = std::string_view(Text).substr(0, at);
  const std::string_view domain = std::string_view(Text).substr(at + 1);
  if (local.empty() || domain.empty()) return false;

  if (local.front() == '.' || local.back() == '.') return false;
  for (size_t i = 0; i < local.size(); ++i) {
    if (i > 0 && local[i] == '.' && local[i - 1] == '.') return false;
    if (!IsLocalChar(static_cast<unsigned char>(local[i]))) return false;
  }

  if (IsDotOrHyphen(domain.front()) || IsDotOrHyphen(domain.back())) return false;
  if (domain.find('.') == std::string_view::npos) return false;
  for (size_t i = 0; i < domain.size(); ++i) {
    if (i > 0 && IsDotOrHyphen(domain[i]) && IsDotOrHyphen(domain[i - 1])) return false;
    if (!IsDomainChar(static_cast<unsigned char>(domain[i]))) return false;
  }
  return true;
}

void SetOnlineProbe(TOnlineProbe Probe_) { Probe() = std::move(Probe_); }

bool IsOnline() {
  try {
    return Probe() ? Probe()() : DesktopReportsOnline();
  } catch (...) {
    // A probe that cannot be asked is no evidence of a connection.
    return false;
  }
}

bool CheckOnline(const std::string& FollowUp, const std::function<void()>& FaxInstead) {
  if (IsOnline()) return true;
  const int answer = ShowMessageDialog(
      "",
      "An Internet connection was not detected.\r\n\r\nWould you like to print and send a fax to "
      "us instead?",
      DialogButtons({TDialogButton::Yes, TDialogButton::No}), TDialogButton::Yes, "");
  if (answer == mrNo) {
    ShowMessageDialog("", FollowUp, DialogButtons({TDialogButton::OK}), TDialogButton::OK, "");
  } else if (answer == mrYes && FaxInstead) {
    FaxInstead();
  }
  return false;
}
