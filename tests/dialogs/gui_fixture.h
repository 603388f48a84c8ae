#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QStringList>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "data/quillby_data.h"
#include "data/store_file.h"
#include "dialogs/app_events.h"
#include "dialogs/error_report.h"
#include "dialogs/cursor.h"
#include "platform/codepage.h"
#include "tests/environment.h"

// Polls until Condition holds or Ms milliseconds have passed; tells which.
inline bool WaitFor(const std::function<bool()>& Condition, int Ms = 5000) {
  QElapsedTimer clock;
  clock.start();
  while (!Condition()) {
    if (clock.elapsed() > Ms) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

// Runs Step on the next modal dialog that comes up above Below, polling from a timer, so that a
// test can answer dialogs shown by ShowModal. The step runs once the dialog is the active window,
// as a user can only type into it from then on: before that the keys and the focus still belong
// to the window underneath. A dialog that never comes up is a failure; a step that leaves its
// dialog open for too long has it rejected so that the test cannot hang.
inline void OnModal(std::function<void(QWidget*)> Step, QWidget* Below = nullptr) {
  auto* timer = new QTimer;
  auto clock = std::make_shared<QElapsedTimer>();
  clock->start();
  QPointer<QWidget> below(Below);
  const bool hadBelow = Below != nullptr;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [=] {
    QWidget* modal = QApplication::activeModalWidget();
    const bool belowGone = hadBelow && below.isNull();
    if (modal != nullptr && modal->isVisible() && QApplication::activeWindow() == modal &&
        (modal != below || belowGone)) {
      timer->stop();
      timer->deleteLater();
      QPointer<QWidget> answered(modal);
      Step(modal);
      // Every step ends its dialog; one that stays up would hang the test in its modal loop.
      QTimer::singleShot(10000, [answered] {
        if (answered && answered->isVisible()) {
          ADD_FAILURE() << "a dialog was left open: " << answered->objectName().toStdString();
          answered->close();
        }
      });
      return;
    }
    if (clock->elapsed() > 10000) {
      timer->stop();
      timer->deleteLater();
      ADD_FAILURE() << "no modal dialog came up";
      if (modal != nullptr && modal != below) modal->close();
    }
  });
  timer->start();
}

// Keys as the user types them: delivered to the widget that has the focus.
inline void Press(Qt::Key Key, Qt::KeyboardModifiers Modifiers = Qt::NoModifier) {
  QWidget* target = QApplication::focusWidget();
  if (target == nullptr) target = QApplication::activeModalWidget();
  if (target == nullptr) target = QApplication::activeWindow();
  ASSERT_NE(target, nullptr) << "nothing to type into";
  QTest::keyClick(target, Key, Modifiers);
}

inline QString FocusName() {
  QWidget* focus = QApplication::focusWidget();
  return focus != nullptr ? focus->objectName() : QStringLiteral("<none>");
}

// Where the focus is now and after each of Presses presses of Tab.
inline QStringList TabCycle(int Presses) {
  QStringList order{FocusName()};
  for (int i = 0; i < Presses; ++i) {
    Press(Qt::Key_Tab);
    order << FocusName();
  }
  return order;
}

template <class T = QWidget>
T* Child(QWidget* Parent, const char* Name) {
  T* child = Parent->findChild<T*>(QString::fromLatin1(Name));
  EXPECT_NE(child, nullptr) << Name;
  return child;
}

// What a message dialog said, and closes it by its first visible button.
struct TShownMessage {
  QString Text;
  QString Title;
  int CursorWhileShown = 0;
};

inline void AnswerMessage(QWidget* Dialog, TShownMessage& Out) {
  Out.Text = Child<QLabel>(Dialog, "lblMessage")->text();
  Out.Title = Child<QLabel>(Dialog, "lblCaption")->text();
  Out.CursorWhileShown = ScreenCursor();
  QTest::keyClick(Dialog, Qt::Key_Return);
}

// A settings folder, a store and the error report of their own for every test.
class GuiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "quillby-dialogs-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    FFolder = pattern;
    FConfigHome.emplace("XDG_CONFIG_HOME", FFolder + "/config");
    platform::SetLocaleProvider([] { return std::string("en_US"); });
    FEvents = std::make_unique<TApplicationEvents>(aevQuillbyException);
  }

  void TearDown() override {
    FData.reset();
    FEvents.reset();
    for (QWidget* window : QApplication::topLevelWidgets()) {
      if (window->isVisible()) window->close();
    }
    SetScreenCursor(crDefault);
    platform::SetLocaleProvider(nullptr);
    FConfigHome.reset();
    std::error_code ignored;
    std::filesystem::remove_all(FFolder, ignored);
  }

  // The store beside a pretend executable in the test's folder; CreateFile makes an empty one.
  TQuillbyData& Data(bool CreateFile = true) {
    if (!FData) {
      if (CreateFile) CreateStoreFile(FFolder + "/quillby.mdb");
      FData = std::make_unique<TQuillbyData>(FFolder + "/quillby.mdb");
    }
    return *FData;
  }

  std::string FFolder;
  std::unique_ptr<TApplicationEvents> FEvents;
  std::unique_ptr<TQuillbyData> FData;

 private:
  std::optional<TEnvironmentOverride> FConfigHome;
};
