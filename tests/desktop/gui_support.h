#pragma once

#include <QAbstractButton>
#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "data/quillby_data.h"
#include "tests/environment.h"

// Test failures show texts as text.
inline void PrintTo(const QString& text, std::ostream* os) {
  *os << '"' << text.toStdString() << '"';
}

// Waits for `condition` by polling the event loop; false when it did not come true in time.
bool WaitFor(const std::function<bool()>& condition, int timeout_ms = 10000);

class TDesktopForm;
// Shows the desktop and opens each of its tabs once, as a person would, so that the controls of
// the tabs made when first shown are there. The calculator's tab is current again afterwards,
// and the focus where it was.
void OpenEveryTab(TDesktopForm& Form);

// A temporary folder standing in for the program's own folder, with a fresh store in it. The
// registry file goes below it too, and it is the working directory while it lives, so nothing
// of the real user's is touched.
class TTempStore {
 public:
  TTempStore();
  QString Folder() const { return FDir.path(); }
  QString StorePath() const { return FDir.filePath("quillby.mdb"); }
  // A program path in the folder: the store is looked for beside it.
  std::string ExecutablePath() const { return FDir.filePath("quillby").toStdString(); }
  std::unique_ptr<TQuillbyData> Open() const;
  // Creates an account and signs it in on `data`.
  static void SignIn(TQuillbyData& data, const std::string& full_name = "Ann Example",
                     const std::string& login = "ann", const std::string& password = "secret");

 private:
  QTemporaryDir FDir;
  TWorkingDirectory FWorkingDirectory{FDir.path().toStdString()};
};

// Answers modal windows from a timer while the code under test blocks in them. `answer` gets
// each new modal window once.
class TModalAnswerer : public QObject {
 public:
  explicit TModalAnswerer(std::function<void(QWidget*)> answer);

 private:
  void Poll();
  std::function<void(QWidget*)> FAnswer;
  // Guarded, so a new window at the address of one already gone is still answered.
  QPointer<QWidget> FLast;
  QTimer FTimer;
};

// The text handed to a message dialog, line breaks as written (the dialog shows each CR LF as
// one break), and its closing by OK.
QString MessageOf(QWidget* dialog);
void PressOK(QWidget* dialog);

// The text of a PDF file as Debian's pdftotext reads it, pages separated by form feeds; empty
// when it cannot be read.
QString PdfText(const QString& Path);

// Collects the text of every message dialog and closes each with OK.
class TMessageCatcher {
 public:
  TMessageCatcher();
  QStringList Messages;

 private:
  TModalAnswerer FAnswerer;
};
