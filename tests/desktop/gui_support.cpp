#include "gui_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLocale>
#include <QPointer>
#include <QProcess>

#include "data/store_file.h"
#include "desktop/desktop_form.h"
#include "dialogs/ansi.h"
#include "dialogs/message_dialog.h"

bool WaitFor(const std::function<bool()>& condition, int timeout_ms) {
  QElapsedTimer waited;
  waited.start();
  while (!condition()) {
    if (waited.elapsed() > timeout_ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

void OpenEveryTab(TDesktopForm& Form) {
  Form.show();
  QWidget* focus = Form.focusWidget();
  for (int tab = 0; tab < Form.pgcDesktop->count(); ++tab) Form.pgcDesktop->setCurrentIndex(tab);
  Form.pgcDesktop->setCurrentWidget(Form.tsDebtCalc);
  if (focus) focus->setFocus();
  // The tabs take their places with the events that follow.
  QCoreApplication::processEvents();
}

TTempStore::TTempStore() {
  qputenv("XDG_CONFIG_HOME", FDir.filePath("config").toUtf8());
  CreateStoreFile(StorePath().toStdString());
}

std::unique_ptr<TQuillbyData> TTempStore::Open() const {
  return std::make_unique<TQuillbyData>(StorePath().toStdString());
}

void TTempStore::SignIn(TQuillbyData& data, const std::string& full_name, const std::string& login,
                        const std::string& password) {
  data.CreateUser(full_name, login, password);
  ASSERT_TRUE(data.VerifyLogin(login, password));
}

TModalAnswerer::TModalAnswerer(std::function<void(QWidget*)> answer) : FAnswer(std::move(answer)) {
  FTimer.setInterval(10);
  QObject::connect(&FTimer, &QTimer::timeout, this, [this] { Poll(); });
  FTimer.start();
}

void TModalAnswerer::Poll() {
  QWidget* modal = QApplication::activeModalWidget();
  if (!modal || modal == FLast || !modal->isVisible()) return;
  FLast = modal;
  FAnswer(modal);
}

QString MessageOf(QWidget* dialog) {
  const auto* message = qobject_cast<TMessageDialog*>(dialog);
  return message ? FromAnsi(message->Message()) : QString();
}

void PressOK(QWidget* dialog) {
  if (auto* ok = dialog->findChild<QAbstractButton*>("btnOK")) ok->click();
}

QString PdfText(const QString& Path) {
  QProcess reader;
  reader.start("/usr/bin/pdftotext", {"-enc", "UTF-8", Path, "-"});
  if (!reader.waitForFinished(30000) || reader.exitStatus() != QProcess::NormalExit ||
      reader.exitCode() != 0) {
    reader.kill();
    reader.waitForFinished();
    return {};
  }
  return QString::fromUtf8(reader.readAllStandardOutput());
}

TMessageCatcher::TMessageCatcher()
    : FAnswerer([this](QWidget* dialog) {
        Messages << MessageOf(dialog);
        // Close from the event loop, not from inside the poll.
        QTimer::singleShot(0, dialog, [dialog] { PressOK(dialog); });
      }) {}

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // A print server or printer the machine knows is never asked: printing ends in PDF files.
  QTemporaryDir noPrintServer;
  qputenv("CUPS_SERVER", noPrintServer.filePath("cups.sock").toLocal8Bit());
  QApplication application(argc, argv);
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
