// The program on Qt's Wayland platform, against a headless compositor (under_weston.sh starts
// it): start-up reaches the login dialog, the window carries the application id and icon, and
// the frameless dialog is dragged by its title bar with the hand cursor.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QWindow>

#include "app/startup.h"
#include "dialogs/cursor.h"
#include "dialogs/login_dialog.h"
#include "gui_support.h"

namespace {

TEST(WaylandTest, StartsOnWaylandAndTheLoginDialogIsDraggedByItsTitleBar) {
  ASSERT_TRUE(QGuiApplication::platformName().startsWith("wayland"))
      << QGuiApplication::platformName().toStdString();
  TTempStore store;
  TStartupOptions options;
  options.ExecutablePath = store.ExecutablePath();
  options.SplashPause = std::chrono::milliseconds(0);

  bool exposed = false, pressed = false, handDuringDrag = false, released = false;
  TModalAnswerer answerer([&](QWidget* modal) {
    auto* login = qobject_cast<TLoginDialog*>(modal);
    if (!login) return;
    exposed = WaitFor([&] { return login->windowHandle() && login->windowHandle()->isExposed(); });
    auto* title = login->findChild<QWidget*>("Panel2");
    ASSERT_NE(title, nullptr);
    QTest::mousePress(title, Qt::LeftButton, {}, QPoint(200, 10));
    pressed = login->Dragging();
    QTest::mouseMove(title, QPoint(230, 14));
    handDuringDrag = login->Dragging() && ScreenCursor() == crHandPoint;
    QTest::mouseRelease(title, Qt::LeftButton, {}, QPoint(230, 14));
    released = !login->Dragging() && ScreenCursor() == crDefault;
    QTest::keyClick(login, Qt::Key_Escape);
  });
  EXPECT_EQ(RunQuillby(options), 0);
  EXPECT_TRUE(exposed);
  EXPECT_TRUE(pressed);
  EXPECT_TRUE(handDuringDrag);
  EXPECT_TRUE(released);
  EXPECT_EQ(QGuiApplication::desktopFileName(), QUILLBY_APP_ID);
  EXPECT_FALSE(QApplication::windowIcon().isNull());
}

}  // namespace
