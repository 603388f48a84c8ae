#include "dialogs/app_events.h"

#include <cstdio>

#include "platform/exception.h"

namespace {
TApplicationEvents* FCurrent = nullptr;

void Report(QObject* Sender, const std::exception& E) noexcept {
  try {
    if (TApplicationEvents* events = TApplicationEvents::Current()) {
      events->HandleException(Sender, E);
    } else {
      std::fprintf(stderr, "%s\n", FailureMessage(E).c_str());
    }
  } catch (...) {
    // Reporting itself failed (out of memory); there is nobody left to tell.
  }
}
}  // namespace

std::string FailureMessage(const std::exception& E) {
  if (const auto* failure = dynamic_cast<const Exception*>(&E)) return failure->Message();
  return E.what();
}

TApplicationEvents::TApplicationEvents(TExceptionEvent OnException, QObject* parent)
    : QObject(parent), FPrevious(FCurrent), FOnException(std::move(OnException)) {
  setObjectName("aevQuillby");
  FCurrent = this;
}

TApplicationEvents::~TApplicationEvents() {
  if (FCurrent == this) FCurrent = FPrevious;
}

TApplicationEvents* TApplicationEvents::Current() { return FCurrent; }

void TApplicationEvents::HandleException(QObject* Sender, const std::exception& E) {
  if (FOnException) {
    FOnException(Sender, E);
  } else {
    std::fprintf(stderr, "%s\n", FailureMessage(E).c_str());
  }
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
