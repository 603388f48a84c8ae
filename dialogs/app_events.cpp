#include "dialogs/app_events.h"

#include <cstdio>

#include "dialogs/message_dialog.h"
#include "platform/exception.h"

namespace {
TApplicationEvents* FCurrent = nullptr;

std::string MessageOf(const std::exception& E) {
  if (const auto* failure = dynamic_cast<const Exception*>(&E)) return failure->Message();
  return E.what();
}

void Report(QObject* Sender, const std::exception& E) noexcept {
  try {
    if (TApplicationEvents* events = TApplicationEvents::Current()) {
      events->aevQuillbyException(Sender, E);
    } else {
      std::fprintf(stderr, "%s\n", MessageOf(E).c_str());
    }
  } catch (...) {
    // Reporting itself failed (out of memory); there is nobody left to tell.
  }
}
}  // namespace

TApplicationEvents::TApplicationEvents(QObject* parent) : QObject(parent), FPrevious(FCurrent) {
  setObjectName("aevQuillby");
  FCurrent = this;
}

TApplicationEvents::~TApplicationEvents() {
  if (FCurrent == this) FCurrent = FPrevious;
}

TApplicationEvents* TApplicationEvents::Current() { return FCurrent; }

void TApplicationEvents::aevQuillbyException(QObject*, const std::exception& E) {
  ShowMessageDialog("", MessageOf(E), DialogButtons({TDialogButton::OK}), TDialogButton::OK, "");
}

void Guard(QObject* Sender, const std::function<void()>& Handler) noexcept {
  try {
    Handler();
  } catch (const std::exception& E) {
    Report(Sender, E);
  } catch (...) {
    Report(Sender, Exception("An unknown failure occurred."));
  }
}
