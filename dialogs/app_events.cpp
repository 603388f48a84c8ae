#include "dialogs/app_events.h"

#include <cstdio>
#include <utility>
#include <vector>

#include "platform/exception.h"

namespace {
TApplicationEvents* FCurrent = nullptr;

// Handlers run on the GUI thread only, so the nesting needs no lock.
int FHandlerDepth = 0;
struct TAfterHandler {
  int Depth;
  std::function<void()> Action;
};
std::vector<TAfterHandler> FAfterHandler;

void RunAfterHandler() noexcept {
  while (!FAfterHandler.empty() && FAfterHandler.front().Depth > FHandlerDepth) {
    const std::function<void()> action = std::move(FAfterHandler.front().Action);
    FAfterHandler.erase(FAfterHandler.begin());
    try {
      action();
    } catch (...) {
      // Only queues events; there is nothing a failure here could still undo.
    }
  }
}

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
  ++FHandlerDepth;
  try {
    Handler();
  } catch (const std::exception& E) {
    Report(Sender, E);
  } catch (...) {
    Report(Sender, Exception("An unknown failure occurred."));
  }
  --FHandlerDepth;
  RunAfterHandler();
}

void AfterHandler(std::function<void()> Action) {
  if (FHandlerDepth == 0) {
    Action();
    return;
  }
  FAfterHandler.push_back({FHandlerDepth, std::move(Action)});
}
