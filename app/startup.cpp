#include "app/startup.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QScreen>
#include <QWindow>
#include <chrono>
#include <thread>

#include "app/splash_form.h"
#include "data/quillby_data.h"
#include "data/store_file.h"
#include "desktop/artwork.h"
#include "desktop/desktop_form.h"
#include "dialogs/ansi.h"
#include "dialogs/app_events.h"
#include "dialogs/error_report.h"
#include "dialogs/login_dialog.h"
#include "dialogs/quillby_dialog.h"
#include "platform/registry.h"

TSplashForm* SplashForm = nullptr;
TQuillbyData* QuillbyData = nullptr;
TApplicationEvents* aevQuillby = nullptr;
TLoginDialog* LoginDialog = nullptr;
TDesktopForm* DesktopForm = nullptr;

namespace {

template <class T>
void Release(T*& instance) {
  delete instance;
  instance = nullptr;
}

// Paints a window once off screen, unseen, so that what its first paint on screen needs (style
// pictures, fonts, glyphs) is loaded by then.
void PaintAhead(QWidget& Window) {
  QImage scratch(Window.size() * Window.devicePixelRatio(), QImage::Format_ARGB32_Premultiplied);
  scratch.setDevicePixelRatio(Window.devicePixelRatio());
  Window.render(&scratch);
}

// Shows the splash, carrying the application's icon, and has it drawn before anything else
// happens: the window system must map it before a repaint reaches the screen. The splash's
// picture is ready made, so the version's font is what its painting waits for. The icon's four
// small sizes take well under a millisecond to paint here; a thread of their own kept a second
// heap of the C library's for the whole run.
void ShowSplash() {
  SplashForm = new TSplashForm;
  PaintAhead(*SplashForm);
  QApplication::setWindowIcon(artwork::ApplicationIcon(artwork::IconImages()));
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    SplashForm->move(screen->geometry().center() - SplashForm->rect().center());
  }
  SplashForm->show();
  QElapsedTimer waited;
  waited.start();
  while (SplashForm->windowHandle() && !SplashForm->windowHandle()->isExposed() &&
         waited.elapsed() < 1000) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
  }
  SplashForm->repaint();
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace

int RunQuillby(const TStartupOptions& Options) {
  // Closing the desktop ends the loop; no other window closing may.
  const bool quitOnLastWindow = QGuiApplication::quitOnLastWindowClosed();
  QGuiApplication::setQuitOnLastWindowClosed(false);
  int exitCode = 0;
  try {
    // Before the first window: a Wayland window carries its application id from its creation,
    // and task bars match it to the .desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(QUILLBY_APP_ID));
    // Every window sets its own fonts, but a widget lays out text with the toolkit's default font
    // before it takes its window's (an edit box as it is made), which loaded a face no text is
    // shown in (some 250 kB of font file with the desktop up). The windows look the same.
    QApplication::setFont(DialogFont());
    ShowSplash();
    QGuiApplication::setApplicationDisplayName("Marrowvale");
    const std::string store = LocateStore(Options.ExecutablePath);
    // Every per-user folder is judged before anyone signs in.
    const std::string log = LocateConnectionLog(Options.ExecutablePath);
    platform::CheckRegistryFolder();
    QuillbyData =
        Options.CreateData ? Options.CreateData(store).release() : new TQuillbyData(store);
    const auto splashDone = std::chrono::steady_clock::now() + Options.SplashPause;
    aevQuillby = new TApplicationEvents(aevQuillbyException);

    try {
      // The login dialog is made, painted once unseen and given its window, not yet mapped,
      // within the splash's pause; only the rest of the pause is slept.
      LoginDialog = new TLoginDialog(*QuillbyData);
      PaintAhead(*LoginDialog);
      LoginDialog->winId();
      std::this_thread::sleep_until(splashDone);
      Release(SplashForm);
      if (LoginDialog->ShowModal() == mrOk) {
        LoginDialog->ReleaseNativeWindow();
        DesktopForm = new TDesktopForm(*QuillbyData, nullptr, log);
        QObject::connect(DesktopForm, &TDesktopForm::Closed, qApp, &QCoreApplication::quit,
                         Qt::QueuedConnection);
        DesktopForm->show();
        // The main window takes the keyboard as it opens, with or without a window manager.
        DesktopForm->activateWindow();
        QApplication::exec();
      }
    } catch (...) {
      Release(LoginDialog);
      throw;
    }
    Release(LoginDialog);
  } catch (const std::exception& failure) {
    Release(SplashForm);
    QMessageBox::critical(nullptr, "Marrowvale", FromAnsi(FailureMessage(failure)));
    exitCode = 1;
  }
  Release(LoginDialog);
  Release(aevQuillby);
  Release(QuillbyData);
  // The application object's own teardown would release the desktop last.
  Release(DesktopForm);
  QGuiApplication::setQuitOnLastWindowClosed(quitOnLastWindow);
  return exitCode;
}
