#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

// The application-events component aevQuillby: while one exists, every failure that escapes an
// event handler ends up in its OnException. Components nest; the newest one is in force. The
// handler is bound by whoever creates the component, so the guard knows nothing of dialogs.
class TApplicationEvents : public QObject {
  Q_OBJECT
 public:
  using TExceptionEvent = std::function<void(QObject* Sender, const std::exception& E)>;

  explicit TApplicationEvents(TExceptionEvent OnException, QObject* parent = nullptr);
  ~TApplicationEvents() override;

  static TApplicationEvents* Current();

  void HandleException(QObject* Sender, const std::exception& E);

 private:
  TApplicationEvents* FPrevious;
  TExceptionEvent FOnException;
};

// A failure's user-facing text: an Exception's message exactly as carried, any other
// std::exception's what().
std::string FailureMessage(const std::exception& E);

// Runs an event handler and hands any failure to the application-events component, so that no
// exception ever unwinds through Qt.
void Guard(QObject* Sender, const std::function<void()>& Handler) noexcept;

// Guard for a paint handler. A report is modal, and a modal window opened while painting would
// be painted over and the failure raised again at every repaint: the failure is reported once
// the painting is over, and not again while the same widget keeps failing the same way.
void GuardPaint(QObject* Sender, const std::function<void()>& Handler) noexcept;

// Runs Action once the event handler now running under Guard has returned, after any handler
// nested in it; at once when no handler is running.
void AfterHandler(std::function<void()> Action);

// While one exists, a network conversation runs and the handler that started it waits for it:
// nothing may reach the windows' controls or handlers meanwhile. Input events, input-method
// commits and requests to close are held, drags are refused, guarded signal handlers (a screen
// reader's press on a link or button among them) are held, and failures of the handlers that
// still run (painting) are kept. Once the waiting handler has returned, what was held is handed
// out in the order it came and each kept failure is reported once. There is only ever one: a
// second conversation cannot start inside the first.
class TConversationHold : public QObject {
 public:
  TConversationHold();
  ~TConversationHold() override;
  TConversationHold(const TConversationHold&) = delete;
  TConversationHold& operator=(const TConversationHold&) = delete;

  static bool Running();
  // Holds a guarded handler's run until the waiting handler has returned; it is dropped if
  // Context goes first.
  static void Hold(QObject* Context, std::function<void()> Run);
  // Keeps the failure now being handled, to be reported after the waiting handler.
  static void Keep(QObject* Sender);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct THeld;
  struct TKept;
  std::vector<THeld> FHeld;
  std::vector<TKept> FKept;  // once each, by their text
};

// Calls the handler with the signal's arguments, or with none when it takes none. A function
// template of its own, so that the call a handler does not take is never instantiated (clang
// checks a call that does not depend on the arguments as soon as it reads it).
template <class F, class... Args>
void CallHandler(const F& handler, Args&&... args) {
  if constexpr (std::is_invocable_v<const F&, Args...>) {
    handler(std::forward<Args>(args)...);
  } else {
    handler();
  }
}

// Connects a signal to a handler that runs inside Guard. The handler may take the signal's
// arguments or none. While a conversation runs the run is held, with copies of the arguments.
template <class Sender, class Signal, class F>
QMetaObject::Connection GuardedConnect(Sender* sender, Signal signal, QObject* context, F handler) {
  auto shared = std::make_shared<F>(std::move(handler));
  return QObject::connect(sender, signal, context, [sender, context, shared](auto&&... args) {
    auto run = [from = QPointer<QObject>(sender), shared,
                ... copies = std::decay_t<decltype(args)>(std::forward<decltype(args)>(args))] {
      if (!from) return;
      Guard(from, [&] { CallHandler(*shared, copies...); });
    };
    if (TConversationHold::Running()) {
      TConversationHold::Hold(context, std::move(run));
    } else {
      run();
    }
  });
}
