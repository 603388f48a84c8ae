#pragma once

#include <QMetaObject>
#include <QObject>
#include <exception>
#include <functional>
#include <string>
#include <type_traits>
#include <utility>

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

// Runs Action once the event handler now running under Guard has returned, after any handler
// nested in it; at once when no handler is running.
void AfterHandler(std::function<void()> Action);

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
// arguments or none.
template <class Sender, class Signal, class F>
QMetaObject::Connection GuardedConnect(Sender* sender, Signal signal, QObject* context, F handler) {
  return QObject::connect(
      sender, signal, context, [sender, handler = std::move(handler)](auto&&... args) -> void {
        Guard(sender, [&] { CallHandler(handler, std::forward<decltype(args)>(args)...); });
      });
}
