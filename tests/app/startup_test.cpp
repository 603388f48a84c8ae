#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QIcon>
#include <QLineEdit>
#include <QMessageBox>
#include <QResource>
#include <QTest>

#include "app/splash_form.h"
#include "app/startup.h"
#include "desktop/artwork.h"
#include "desktop/desktop_form.h"
#include "dialogs/app_events.h"
#include "dialogs/login_dialog.h"
#include "gui_support.h"
#include "platform/exception.h"

namespace {

// Records, in order, which windows were shown and which application-wide instances went away.
class TLifeLog : public QObject {
 public:
  QStringList Entries;
  // The icon the splash window carries as it is shown.
  QIcon SplashIcon;

  void Watch(QObject* object, const QString& name) {
    QObject::connect(object, &QObject::destroyed, this,
                     [this, name] { Entries << "released " + name; });
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->isWindow()) {
      const QString name = watched->metaObject()->className();
      if (!Entries.contains("shown " + name)) {
        Entries << "shown " + name;
        if (name == "TSplashForm") SplashIcon = static_cast<QWidget*>(watched)->windowIcon();
        if (name == "TSplashForm" || name == "TLoginDialog" || name == "TDesktopForm") {
          Watch(watched, name);
        }
      }
    }
    return false;
  }
};

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto data = FStore.Open();
    data->CreateUser("Ann Example", "ann", "secret");
    FOldFolder = QDir::currentPath();
    // The program is started from elsewhere: the store must be found beside the program.
    ASSERT_TRUE(QDir::setCurrent(FElsewhere.path()));
    qApp->installEventFilter(&FLog);
  }

  void TearDown() override {
    qApp->removeEventFilter(&FLog);
    QDir::setCurrent(FOldFolder);
    EXPECT_EQ(SplashForm, nullptr);
    EXPECT_EQ(QuillbyData, nullptr);
    EXPECT_EQ(aevQuillby, nullptr);
    EXPECT_EQ(LoginDialog, nullptr);
    EXPECT_EQ(DesktopForm, nullptr);
  }

  TStartupOptions Options() const {
    TStartupOptions options;
    options.ExecutablePath = FStore.ExecutablePath();
    return options;
  }

  static bool SplashOnScreen() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
      if (qobject_cast<TSplashForm*>(window) && window->isVisible()) return true;
    }
    return false;
  }

  TTempStore FStore;
  QTemporaryDir FElsewhere;
  QString FOldFolder;
  TLifeLog FLog;
};

TEST_F(StartupTest, CancelledLoginEndsSilentlyWithoutADesktop) {
  // The splash stays up for the pause counted from the end of the data module's creation.
  TStartupOptions options = Options();
  QElapsedTimer sinceData;
  qint64 splashUp = -1;
  options.CreateData = [&](const std::string& path) {
    auto data = std::make_unique<TQuillbyData>(path);
    sinceData.start();
    QObject::connect(SplashForm, &QObject::destroyed, [&] { splashUp = sinceData.elapsed(); });
    return data;
  };
  bool splashGone = false;
  QStringList others;
  TModalAnswerer answerer([&](QWidget* modal) {
    if (qobject_cast<TLoginDialog*>(modal)) {
      splashGone = SplashForm == nullptr && !SplashOnScreen();
      QTest::keyClick(modal, Qt::Key_Escape);
    } else {
      others << modal->metaObject()->className();
      modal->close();
    }
  });
  EXPECT_EQ(RunQuillby(options), 0);
  EXPECT_GE(splashUp, 2000);
  EXPECT_TRUE(splashGone);
  EXPECT_TRUE(others.isEmpty()) << others.join(", ").toStdString();
  EXPECT_EQ(FLog.Entries.join(", "),
            "shown TSplashForm, released TSplashForm, shown TLoginDialog, released TLoginDialog");
  const QList<QSize> sizes = FLog.SplashIcon.availableSizes();
  ASSERT_EQ(sizes.size(), std::size(artwork::kWindowIconSizes));
  for (int size : artwork::kWindowIconSizes) {
    EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
    EXPECT_EQ(FLog.SplashIcon.pixmap(QSize(size, size), 1.0).toImage(), artwork::IconImage(size))
        << size;
  }
}

TEST_F(StartupTest, SignInOpensTheDesktopAndClosingItTearsDownInOrder) {
  TModalAnswerer answerer([&](QWidget* modal) {
    if (!qobject_cast<TLoginDialog*>(modal)) return;
    auto* login = modal->findChild<QLineEdit*>("leLogin");
    auto* password = modal->findChild<QLineEdit*>("lePassword");
    ASSERT_TRUE(login && password);
    QTest::keyClicks(login, "ann");
    QTest::keyClicks(password, "secret");
    QTest::keyClick(password, Qt::Key_Return);
  });
  QString welcome;
  bool loginKeptHidden = false;
  bool loginWindowReleased = false;
  QTimer desktopWatch;
  QObject::connect(&desktopWatch, &QTimer::timeout, [&] {
    if (!DesktopForm || !DesktopForm->isVisible()) return;
    desktopWatch.stop();
    welcome = DesktopForm->lblUserName->text();
    loginKeptHidden = LoginDialog && !LoginDialog->isVisible();
    loginWindowReleased = LoginDialog && LoginDialog->windowHandle() == nullptr;
    FLog.Watch(aevQuillby, "aevQuillby");
    DesktopForm->close();
  });
  desktopWatch.start(10);

  EXPECT_EQ(RunQuillby(Options()), 0);
  EXPECT_EQ(welcome, "Welcome Ann Example");
  EXPECT_TRUE(loginKeptHidden);
  EXPECT_TRUE(loginWindowReleased);
  EXPECT_EQ(FLog.Entries.join(", "),
            "shown TSplashForm, released TSplashForm, shown TLoginDialog, shown TDesktopForm, "
            "released TLoginDialog, released aevQuillby, released TDesktopForm");
}

TEST_F(StartupTest, FailureOutsideAnyHandlerShowsASystemBoxAndExitsWithOne) {
  TStartupOptions options = Options();
  options.CreateData = [](const std::string&) -> std::unique_ptr<TQuillbyData> {
    throw Exception("The store could not be prepared.");
  };
  QString shown;
  TModalAnswerer answerer([&](QWidget* modal) {
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      shown = box->text();
      box->accept();
    }
  });
  EXPECT_EQ(RunQuillby(options), 1);
  EXPECT_EQ(shown, "The store could not be prepared.");
  EXPECT_FALSE(FLog.Entries.contains("shown TLoginDialog"));
  EXPECT_TRUE(FLog.Entries.contains("released TSplashForm"));
}

// Settings others could change are no settings to sign in with: the start ends before the login
// dialog, naming the folder.
TEST_F(StartupTest, ASettingsFolderOthersCanChangeStopsTheStart) {
  const QString folder = QDir(qEnvironmentVariable("XDG_CONFIG_HOME")).filePath("Quillby");
  ASSERT_TRUE(QDir().mkpath(folder));
  ASSERT_TRUE(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ExeOwner | QFileDevice::WriteGroup |
                                                QFileDevice::ExeGroup));
  QString shown;
  TModalAnswerer answerer([&](QWidget* modal) {
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      shown = box->text();
      box->accept();
    } else {
      modal->close();
    }
  });
  EXPECT_EQ(RunQuillby(Options()), 1);
  EXPECT_TRUE(shown.startsWith("The folder \"" + folder + "\" can be changed by other users"))
      << shown.toStdString();
  EXPECT_FALSE(FLog.Entries.contains("shown TLoginDialog"));
}

TEST_F(StartupTest, SplashShowsTheVersionOnItsPicture) {
  TSplashForm splash;
  EXPECT_EQ(splash.size(), QSize(447, 245));
  EXPECT_TRUE(splash.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(splash.lblVersion->text(), "Version 1.0");
  EXPECT_EQ(splash.lblVersion->geometry(), QRect(367, 228, 65, 13));
  EXPECT_TRUE(splash.lblVersion->font().bold());
  EXPECT_EQ(splash.imgSplash->pixmap().size(), QSize(447, 245));
}

// The splash pictures embedded by the build are the painter's, pixel for pixel, and the splash
// shows the one for the screen.
TEST_F(StartupTest, SplashPicturesOfTheBuildAreWhatThePainterDraws) {
  const struct {
    qreal Ratio;
    const char* File;
  } pictures[] = {{1, ":/artwork/splash.rgb"}, {2, ":/artwork/splash@2x.rgb"}};
  for (const auto& picture : pictures) {
    const QImage painted =
        artwork::SplashArt(picture.Ratio).toImage().convertToFormat(QImage::Format_RGB888);
    ASSERT_EQ(painted.size(), QSize(447, 245) * picture.Ratio);
    const QResource file(picture.File);
    ASSERT_TRUE(file.isValid()) << picture.File;
    // zlib is mapped already; zstd would map a library of its own for this alone.
    EXPECT_EQ(file.compressionAlgorithm(), QResource::ZlibCompression) << picture.File;
    QByteArray rows;
    for (int y = 0; y < painted.height(); ++y) {
      rows.append(reinterpret_cast<const char*>(painted.constScanLine(y)), painted.width() * 3);
    }
    EXPECT_TRUE(file.uncompressedData() == rows) << picture.File;

    const QPixmap shown = SplashPicture(picture.Ratio);
    EXPECT_EQ(shown.devicePixelRatio(), picture.Ratio);
    EXPECT_EQ(shown.toImage().convertToFormat(QImage::Format_RGB888), painted) << picture.File;
  }
  TSplashForm splash;
  EXPECT_EQ(splash.imgSplash->pixmap().toImage(),
            SplashPicture(qGuiApp->devicePixelRatio()).toImage());
}

}  // namespace
