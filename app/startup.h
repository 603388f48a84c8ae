#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

class TSplashForm;
class TQuillbyData;
class TApplicationEvents;
class TLoginDialog;
class TDesktopForm;

// The application-wide instances of a run; each is null outside its span.
extern TSplashForm* SplashForm;
extern TQuillbyData* QuillbyData;
extern TApplicationEvents* aevQuillby;
extern TLoginDialog* LoginDialog;
extern TDesktopForm* DesktopForm;

struct TStartupOptions {
  // The program's own path: the store is looked for beside it, or, installed, in the user's
  // data folder (LocateStore).
  std::string ExecutablePath;
  // How long the splash stays up once the store is prepared; the GUI thread sleeps meanwhile.
  std::chrono::milliseconds SplashPause{2000};
  // Makes the data module for the store's path; tests put a failing one here.
  std::function<std::unique_ptr<TQuillbyData>(const std::string& StorePath)> CreateData;
};

// The entry sequence on an application object that already exists: splash, store, sign-in,
// desktop and its message loop, then the teardown in order. Returns the process's exit code:
// 0 after the desktop closed or the sign-in was abandoned, 1 after a failure outside any
// handler, which has then been shown in a system error box.
int RunQuillby(const TStartupOptions& Options);
