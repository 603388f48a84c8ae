#include <QCursor>
#include <QFile>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPixmapCache>
#include <QStyle>
#include <stdexcept>

#include "dialogs/message_dialog.h"
#include "dialogs/quillby_dialog.h"
#include "platform/exception.h"
#include "tests/dialogs/gui_fixture.h"

namespace {

// A frame whose OK handler the test chooses.
class TTestDialog : public TQuillbyDialog {
 public:
  explicit TTestDialog(std::function<void(TTestDialog&)> OnOK) {
    btnOK->OnClick = [this, OnOK] { OnOK(*this); };
  }
  TBitBtn* OK() const { return btnOK; }
  TBitBtn* Cancel() const { return btnCancel; }
  int Clicks = 0;
};

class DialogFrameTest : public GuiTest {};

// A mouse event at a screen position, as the window system delivers it to Target.
void Mouse(QWidget* Target, QEvent::Type Type, QPoint Screen, Qt::MouseButton Button,
           Qt::MouseButtons Held) {
  const QPointF local = Target->mapFromGlobal(QPointF(Screen));
  QMouseEvent event(Type, local, QPointF(Screen), Button, Held, Qt::NoModifier);
  QApplication::sendEvent(Target, &event);
}

int Shape() {
  const QCursor* cursor = QGuiApplication::overrideCursor();
  return cursor != nullptr ? cursor->shape() : -1;
}

TEST_F(DialogFrameTest, FrameHasItsPanelsButtonsAndLook) {
  TTestDialog dialog([](TTestDialog&) {});
  EXPECT_TRUE(dialog.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(dialog.windowTitle(), "Quillby");
  EXPECT_EQ(dialog.size(), QSize(341, 321));
  EXPECT_EQ(Child(&dialog, "Panel1")->geometry(), QRect(0, 0, 341, 321));
  EXPECT_EQ(Child(&dialog, "Panel2")->geometry(), QRect(1, 1, 339, 20));
  EXPECT_EQ(Child(&dialog, "Panel3")->geometry(), QRect(1, 21, 339, 267));
  EXPECT_EQ(Child(&dialog, "Panel4")->geometry(), QRect(1, 288, 339, 32));
  EXPECT_EQ(Child(&dialog, "btnOK")->geometry(), QRect(175, 3, 75, 25));
  EXPECT_EQ(Child(&dialog, "btnCancel")->geometry(), QRect(255, 3, 75, 25));
  auto* caption = Child<QLabel>(&dialog, "lblCaption");
  EXPECT_EQ(caption->text(), "Quillby Desktop");
  EXPECT_EQ(caption->pos(), QPoint(8, 3));
  EXPECT_TRUE(caption->font().bold());
  EXPECT_EQ(caption->font().pixelSize(), 11);
  EXPECT_EQ(caption->palette().color(QPalette::WindowText), QColor(Qt::white));
  EXPECT_EQ(Child(&dialog, "Panel2")->palette().color(QPalette::Window), QColor(128, 128, 128));
  EXPECT_EQ(dialog.palette().color(QPalette::Window), QColor(Qt::white));
  EXPECT_EQ(dialog.font().pixelSize(), 11);
  EXPECT_EQ(dialog.OK()->text(), "OK");
  EXPECT_EQ(dialog.OK()->ModalResult(), mrOk);
  EXPECT_TRUE(dialog.OK()->Default());
  EXPECT_EQ(dialog.Cancel()->text(), "Cancel");
  EXPECT_EQ(dialog.Cancel()->ModalResult(), mrCancel);
  EXPECT_TRUE(dialog.Cancel()->Cancel());
  EXPECT_FALSE(dialog.OK()->icon().isNull());
}

TEST_F(DialogFrameTest, DraggingTheTitleBarMovesTheWindowWithAnyButton) {
  for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
    TTestDialog dialog([](TTestDialog&) {});
    dialog.show();
    ASSERT_TRUE(WaitFor([&] { return dialog.isVisible(); }));
    QWidget* bar = Child(&dialog, "Panel2");
    const QPoint start = dialog.pos();
    const QPoint press = bar->mapToGlobal(QPoint(150, 10));

    Mouse(bar, QEvent::MouseButtonPress, press, button, button);
    EXPECT_TRUE(dialog.Dragging());
    EXPECT_EQ(Shape(), Qt::PointingHandCursor);
    EXPECT_EQ(ScreenCursor(), crHandPoint);

    // Far off, even partly off the screen: the corner follows cursor minus press position.
    for (QPoint to : {press + QPoint(37, -12), QPoint(-100, -5), QPoint(3000, 2000)}) {
      Mouse(bar, QEvent::MouseMove, to, Qt::NoButton, button);
      EXPECT_EQ(dialog.pos(), to - QPoint(150, 10)) << int(button);
      EXPECT_EQ(dialog.size(), QSize(341, 321));
    }
    Mouse(bar, QEvent::MouseButtonRelease, QPoint(3000, 2000), button, Qt::NoButton);
    EXPECT_FALSE(dialog.Dragging());
    EXPECT_EQ(Shape(), -1);
    EXPECT_EQ(ScreenCursor(), crDefault);

    // Moving over the bar without a press moves nothing.
    const QPoint resting = dialog.pos();
    Mouse(bar, QEvent::MouseMove, bar->mapToGlobal(QPoint(5, 5)) + QPoint(40, 40), Qt::NoButton,
          Qt::NoButton);
    EXPECT_EQ(dialog.pos(), resting);
    EXPECT_NE(resting, start);
  }
}

TEST_F(DialogFrameTest, ClosingDuringADragPutsTheDefaultCursorBack) {
  TTestDialog dialog([](TTestDialog&) {});
  dialog.show();
  ASSERT_TRUE(WaitFor([&] { return dialog.isVisible(); }));
  QWidget* bar = Child(&dialog, "Panel2");
  Mouse(bar, QEvent::MouseButtonPress, bar->mapToGlobal(QPoint(100, 5)), Qt::LeftButton,
        Qt::LeftButton);
  ASSERT_TRUE(dialog.Dragging());
  dialog.close();
  EXPECT_FALSE(dialog.Dragging());
  EXPECT_EQ(Shape(), -1);
  EXPECT_EQ(ScreenCursor(), crDefault);
}

TEST_F(DialogFrameTest, APressOnTheTitleTextDoesNotStartADrag) {
  TTestDialog dialog([](TTestDialog&) {});
  dialog.show();
  ASSERT_TRUE(WaitFor([&] { return dialog.isVisible(); }));
  QWidget* caption = Child(&dialog, "lblCaption");
  const QPoint start = dialog.pos();
  QTest::mousePress(caption, Qt::LeftButton, {}, QPoint(3, 3));
  EXPECT_FALSE(dialog.Dragging());
  EXPECT_EQ(Shape(), -1);
  QTest::mouseMove(caption, QPoint(40, 8));
  QTest::mouseRelease(caption, Qt::LeftButton, {}, QPoint(40, 8));
  EXPECT_EQ(dialog.pos(), start);
  // A press on the bar beside the text does.
  QWidget* bar = Child(&dialog, "Panel2");
  QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(bar->width() - 10, 10));
  EXPECT_TRUE(dialog.Dragging());
  QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(bar->width() - 10, 10));
  EXPECT_FALSE(dialog.Dragging());
}

TEST_F(DialogFrameTest, AFailingClickHandlerIsReportedAndTheDialogStaysOpen) {
  const struct {
    std::function<void()> Fail;
    const char* Shown;
  } cases[] = {
      {[] { throw Exception("Login and Password must be entered."); },
       "Login and Password must be entered."},
      {[] { throw std::runtime_error("plain failure"); }, "plain failure"},
      {[] { throw 42; }, "An unknown failure occurred."},
  };
  for (const auto& c : cases) {
    TTestDialog dialog([&](TTestDialog& d) {
      ++d.Clicks;
      c.Fail();
    });
    TShownMessage shown;
    bool openUnderneath = false;
    int resultWhileShown = -1;
    OnModal([&](QWidget* frame) {
      OnModal(
          [&](QWidget* message) {
            openUnderneath = frame->isVisible();
            resultWhileShown = dialog.ModalResult();
            AnswerMessage(message, shown);
          },
          frame);
      Press(Qt::Key_Return);
      // Back in the dialog after the report: it is still open and Cancel ends it.
      EXPECT_TRUE(frame->isVisible());
      EXPECT_EQ(dialog.ModalResult(), mrNone);
      Press(Qt::Key_Escape);
    });
    EXPECT_EQ(dialog.ShowModal(), mrCancel) << c.Shown;
    EXPECT_EQ(dialog.Clicks, 1);
    EXPECT_EQ(shown.Text, c.Shown);
    EXPECT_EQ(shown.Title, "Quillby Desktop");
    EXPECT_TRUE(openUnderneath);
    EXPECT_EQ(resultWhileShown, mrNone);
  }
}

TEST_F(DialogFrameTest, ASucceedingHandlerClosesWithTheButtonsResultUnlessItChangesIt) {
  TTestDialog plain([](TTestDialog& d) { ++d.Clicks; });
  OnModal([](QWidget* dialog) { Child<TBitBtn>(dialog, "btnOK")->Click(); });
  EXPECT_EQ(plain.ShowModal(), mrOk);
  EXPECT_EQ(plain.Clicks, 1);

  TTestDialog changing([](TTestDialog& d) { d.SetModalResult(mrRetry); });
  OnModal([](QWidget* dialog) { Child<TBitBtn>(dialog, "btnOK")->Click(); });
  EXPECT_EQ(changing.ShowModal(), mrRetry);

  // Keeping the dialog open without a failure: the handler resets the result itself.
  int tries = 0;
  TTestDialog refusing([&](TTestDialog& d) {
    if (++tries == 1) d.SetModalResult(mrNone);
  });
  OnModal([&](QWidget* dialog) {
    Child<TBitBtn>(dialog, "btnOK")->Click();
    EXPECT_TRUE(dialog->isVisible());
    Child<TBitBtn>(dialog, "btnOK")->Click();
  });
  EXPECT_EQ(refusing.ShowModal(), mrOk);
  EXPECT_EQ(tries, 2);
}

TEST_F(DialogFrameTest, AReleasedDialogKeepsItsControlsAndShowsAgain) {
  TTestDialog dialog([](TTestDialog&) {});
  auto* caption = Child<QLabel>(&dialog, "lblCaption");
  OnModal([](QWidget* shown) { Child<TBitBtn>(shown, "btnOK")->Click(); });
  ASSERT_EQ(dialog.ShowModal(), mrOk);
  ASSERT_NE(dialog.windowHandle(), nullptr);
  dialog.ReleaseNativeWindow();
  EXPECT_EQ(dialog.windowHandle(), nullptr);
  EXPECT_FALSE(dialog.testAttribute(Qt::WA_WState_Created));
  EXPECT_EQ(Child<QLabel>(&dialog, "lblCaption"), caption);
  EXPECT_EQ(caption->text(), "Quillby Desktop");
  OnModal([](QWidget* shown) { Child<TBitBtn>(shown, "btnCancel")->Click(); });
  EXPECT_EQ(dialog.ShowModal(), mrCancel);
  EXPECT_NE(dialog.windowHandle(), nullptr);
}

// The Fusion style's group box frame is a picture that loading by file name reads with every
// image-format plugin mapped; a dialog puts it in the pixmap cache beforehand, read with the
// built-in PNG reader alone, and the frame looks the same as when the style loads it itself.
TEST_F(DialogFrameTest, GroupBoxFramesAreDrawnWithoutTheImagePlugins) {
  ASSERT_EQ(QApplication::style()->name(), "fusion");
  const auto pluginsMapped = [] {
    QFile maps("/proc/self/maps");
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("/imageformats/");
  };
  ASSERT_FALSE(pluginsMapped());
  TTestDialog dialog([](TTestDialog&) {});
  auto* group = new QGroupBox("Already have an account?", &dialog);
  group->setGeometry(12, 40, 261, 105);
  const QImage drawn = dialog.grab().toImage();
  EXPECT_FALSE(pluginsMapped());

  // The style's own loading, with the plugins, draws the same frame.
  QPixmapCache::clear();
  EXPECT_EQ(dialog.grab().toImage(), drawn);
  EXPECT_TRUE(pluginsMapped());
}

TEST_F(DialogFrameTest, GuardedSignalHandlersReportTheirFailures) {
  QTimer source;
  GuardedConnect(&source, &QTimer::timeout, &source,
                 [] { throw Exception("The Username entered already exists."); });
  TShownMessage shown;
  OnModal([&](QWidget* message) { AnswerMessage(message, shown); });
  source.setSingleShot(true);
  source.start(0);
  ASSERT_TRUE(WaitFor([&] { return !shown.Text.isEmpty(); }));
  EXPECT_EQ(shown.Text, "The Username entered already exists.");

  // Handlers may take the signal's arguments.
  QLineEdit edit;
  QString seen;
  GuardedConnect(&edit, &QLineEdit::textChanged, &edit, [&](const QString& text) { seen = text; });
  edit.setText("typed");
  EXPECT_EQ(seen, "typed");
}

}  // namespace
