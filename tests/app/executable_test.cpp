// Starts the built program on a private X server, beside a store of its own, and works it
// through the keyboard as a user would: real key events from the X server, no hook inside
// the program.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <string>

#include "data/store_file.h"
#include "gui_support.h"
#include "x_session.h"

namespace {

class ExecutableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (QStandardPaths::findExecutable("Xvfb").isEmpty() ||
        QStandardPaths::findExecutable("xdotool").isEmpty()) {
      GTEST_SKIP() << "Xvfb and xdotool are needed (tools/install-deps.sh installs them)";
    }
    ASSERT_FALSE(FXvfb.Display().isEmpty()) << "Xvfb did not start";
    FProgram = FFolder.filePath("quillby");
    ASSERT_TRUE(QFile::copy(QUILLBY_EXECUTABLE, FProgram));
    CreateStoreFile(FFolder.filePath("quillby.mdb").toStdString());
    TQuillbyData(FFolder.filePath("quillby.mdb").toStdString())
        .CreateUser("Ann Example", "ann", "secret");

    FEnvironment =
        ProgramEnvironment(FXvfb.Display(), FFolder.filePath("config"), FElsewhere.path());
  }

  void TearDown() override {
    if (FQuillby.state() != QProcess::NotRunning) {
      FQuillby.terminate();
      if (!FQuillby.waitForFinished(5000)) FQuillby.kill();
      FQuillby.waitForFinished(5000);
    }
  }

  bool Xdo(const QStringList& arguments) { return TXdo(FEnvironment).Xdo(arguments); }
  bool WindowFocused(const QString& title) {
    return TXdo(FEnvironment).WindowFocused(FQuillby, title);
  }

  TXvfb FXvfb;
  QTemporaryDir FFolder;
  QTemporaryDir FElsewhere;
  QString FProgram;
  QProcessEnvironment FEnvironment;
  QProcess FQuillby;
};

TEST_F(ExecutableTest, SignsInAndCalculatesThroughTheKeyboard) {
  ASSERT_TRUE(StartProgram(FQuillby, FProgram, FEnvironment, FElsewhere.path()));

  ASSERT_TRUE(WindowFocused("Login")) << "the login dialog never showed";
  // The focus starts in the username box.
  ASSERT_TRUE(Xdo({"type", "--delay", "20", "ann"}));
  ASSERT_TRUE(Xdo({"key", "Tab"}));
  ASSERT_TRUE(Xdo({"type", "--delay", "20", "secret"}));
  ASSERT_TRUE(Xdo({"key", "Return"}));
  ASSERT_TRUE(WindowFocused("Quillby Desktop")) << "the desktop never showed";
  // Qt Network and OpenSSL are opened only when a sending tab needs them.
  QFile maps(QString("/proc/%1/maps").arg(FQuillby.processId()));
  ASSERT_TRUE(maps.open(QIODevice::ReadOnly));
  const QByteArray mapped = maps.readAll();
  EXPECT_FALSE(mapped.contains("libQt6Network")) << "Qt Network is mapped";
  EXPECT_FALSE(mapped.contains("libssl")) << "OpenSSL is mapped";

  // The focus starts in the rent box; four tabs lead to the salary, four more to Calculate.
  ASSERT_TRUE(Xdo({"type", "--delay", "20", "1800"}));
  ASSERT_TRUE(Xdo({"key", "--delay", "20", "Tab", "Tab", "Tab", "Tab"}));
  ASSERT_TRUE(Xdo({"type", "--delay", "20", "60000"}));
  ASSERT_TRUE(Xdo({"key", "--delay", "20", "Tab", "Tab", "Tab", "Tab", "space"}));

  // The calculator saved the figures for Ann in the store beside the program.
  TQuillbyData data(FFolder.filePath("quillby.mdb").toStdString());
  ASSERT_TRUE(data.VerifyLogin("ann", "secret"));
  TDebtFigures figures;
  ASSERT_TRUE(WaitFor([&] { return data.LoadDebtCalc(0, figures); }, 30000));
  EXPECT_EQ(figures.Rent, Currency::FromUnits(1800));
  EXPECT_EQ(figures.GrossSal, Currency::FromUnits(60000));
  EXPECT_EQ(figures.CrCard, Currency());
  EXPECT_EQ(FQuillby.state(), QProcess::Running);
  EXPECT_FALSE(QFile::exists(QDir(FElsewhere.path()).filePath("quillby.mdb")));
}

}  // namespace
