#include "dialogs/app_events.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEvent>
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

TConversationHold* FConversation = nullptr;
// Failures of painting reported or about to be, by widget and text, until the widget paints
// again without one.
struct TPaintFailure {
  QPointer<QObject> Sender;
  std::string Text;
};
std::vector<TPaintFailure> FPaintFailures;

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

// The text of the failure now being handled.
std::string CurrentFailureText() {
  try {
    throw;
  } catch (const std::exception& E) {
    return FailureMessage(E);
  } catch (...) {
    return "An unknown failure occurred.";
  }
}

// Reports a failure caught earlier, as a handler of its own.
void ReportKept(QObject* Sender, const std::exception_ptr& Failure) noexcept {
  Guard(Sender, [&] { std::rethrow_exception(Failure); });
}

// Runs Handler under Guard's rules; OnFailure deals with what it throws, inside the catch.
template <class OnFailure>
void Run(QObject* Sender, const std::function<void()>& Handler, OnFailure onFailure) noexcept {
  ++FHandlerDepth;
  try {
    try {
      Handler();
    } catch (...) {
      onFailure();
    }
  } catch (const std::exception& E) {
    Report(Sender, E);
  } catch (...) {
    Report(Sender, Exception("An unknown failure occurred."));
  }
  --FHandlerDepth;
  RunAfterHandler();
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
  Run(Sender, Handler, [Sender] {
    if (!TConversationHold::Running()) throw;
    TConversationHold::Keep(Sender);
  });
}

void GuardPaint(QObject* Sender, const std::function<void()>& Handler) noexcept {
  bool failed = false;
  Run(Sender, Handler, [Sender, &failed] {
    failed = true;
    std::string text = CurrentFailureText();
    std::erase_if(FPaintFailures, [](const TPaintFailure& f) { return f.Sender.isNull(); });
    for (const TPaintFailure& f : FPaintFailures) {
      if (f.Sender == Sender && f.Text == text) return;
    }
    FPaintFailures.push_back({Sender, std::move(text)});
    if (TConversationHold::Running()) {
      TConversationHold::Keep(Sender);
      return;
    }
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [from = QPointer<QObject>(Sender), failure = std::current_exception()] {
          ReportKept(from, failure);
        },
        Qt::QueuedConnection);
  });
  if (!failed && !FPaintFailures.empty()) {
    std::erase_if(FPaintFailures, [Sender](const TPaintFailure& f) { return f.Sender == Sender; });
  }
}

void AfterHandler(std::function<void()> Action) {
  if (FHandlerDepth == 0) {
    Action();
    return;
  }
  FAfterHandler.push_back({FHandlerDepth, std::move(Action)});
}

struct TConversationHold::THeld {
  QPointer<QObject> Receiver;
  std::unique_ptr<QEvent> Event;  // an input event to deliver again
  std::function<void()> Run;      // a handler to run; with no event either, a request to close
};

struct TConversationHold::TKept {
  QPointer<QObject> Sender;
  std::string Text;
  std::exception_ptr Failure;
};

TConversationHold::TConversationHold() {
  if (FConversation) throw Exception("A network conversation is already running.");
  FConversation = this;
  QCoreApplication::instance()->installEventFilter(this);
}

TConversationHold::~TConversationHold() {
  QCoreApplication::instance()->removeEventFilter(this);
  FConversation = nullptr;
  auto held = std::make_shared<std::vector<THeld>>(std::move(FHeld));
  auto kept = std::make_shared<decltype(FKept)>(std::move(FKept));
  AfterHandler([held, kept] {
    for (THeld& h : *held) {
      if (!h.Receiver) continue;
      if (h.Event) {
        QCoreApplication::postEvent(h.Receiver, h.Event.release());
      } else if (h.Run) {
        QMetaObject::invokeMethod(h.Receiver, std::move(h.Run), Qt::QueuedConnection);
      } else {
        QMetaObject::invokeMethod(h.Receiver, "close", Qt::QueuedConnection);
      }
    }
    for (const TKept& k : *kept) ReportKept(k.Sender, k.Failure);
  });
}

bool TConversationHold::Running() { return FConversation != nullptr; }

void TConversationHold::Hold(QObject* Context, std::function<void()> Run) {
  if (FConversation) FConversation->FHeld.push_back({Context, nullptr, std::move(Run)});
}

void TConversationHold::Keep(QObject* Sender) {
  if (!FConversation) return;
  std::string text = CurrentFailureText();
  for (const TKept& kept : FConversation->FKept) {
    if (kept.Text == text) return;
  }
  FConversation->FKept.push_back({Sender, std::move(text), std::current_exception()});
}

bool TConversationHold::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
      // The dragged data belongs to the drag, which is over before it could be handed on.
      event->ignore();
      return true;
    case QEvent::InputMethod:
      FHeld.push_back({watched, std::unique_ptr<QEvent>(event->clone()), {}});
      return true;
    case QEvent::Close:
      event->ignore();
      FHeld.push_back({watched, nullptr, {}});
      return true;
    default:
      if (event->isInputEvent()) {
        FHeld.push_back({watched, std::unique_ptr<QEvent>(event->clone()), {}});
        return true;
      }
      return false;
  }
}
