#include "dialogs/quillby_dialog.h"

#include <QApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QImageReader>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPixmapCache>
#include <QScreen>
#include <QWindow>

#include "dialogs/app_events.h"
#include "dialogs/cursor.h"
#include "dialogs/glyphs.h"

namespace {
constexpr int kTitleHeight = 20;
constexpr int kButtonBarHeight = 32;
constexpr int kBorder = 1;
// A value's bytes as QPixmap::load writes them into its cache keys: in memory order, the low
// digit of each byte first.
template <class T>
QString KeyDigits(T Value) {
  QString digits;
  const auto* bytes = reinterpret_cast<const unsigned char*>(&Value);
  for (size_t i = 0; i < sizeof Value; ++i) {
    digits += QLatin1Char("0123456789abcdef"[bytes[i] & 0xf]);
    digits += QLatin1Char("0123456789abcdef"[bytes[i] >> 4]);
  }
  return digits;
}

// The Fusion style draws a group box's frame from a picture in the toolkit's resources, which it
// loads by file name; that loading asks every image-format plugin whether it reads PNG, and so
// maps them all with the libraries they need (SVG, JPEG, GIF, ICO: some 400 kB). The picture is
// read here with the built-in PNG reader alone and put in the pixmap cache under the key that
// loading looks for first. Where the key or the style differ, nothing changes.
void CacheGroupBoxFrame() {
  const QFileInfo file(
      QStringLiteral(":/qt-project.org/styles/commonstyle/images/fusion_groupbox.png"));
  if (!file.exists()) return;
  const QString key = QStringLiteral("qt_pixmap") + file.absoluteFilePath() +
                      KeyDigits(uint(file.lastModified().toSecsSinceEpoch())) +
                      KeyDigits(quint64(file.size())) + KeyDigits(uint(0));
  QPixmap cached;
  if (QPixmapCache::find(key, &cached)) return;
  QImageReader reader(file.filePath(), "png");
  reader.setAutoDetectImageFormat(false);
  QImage picture = reader.read();
  if (!picture.isNull()) QPixmapCache::insert(key, QPixmap::fromImage(std::move(picture)));
}

}  // namespace

QFont DialogFont(int PixelSize, bool Bold) {
  // Where the designed face is missing, a face of Arial's metrics keeps the captions inside
  // their designed widths better than the usual wider fallback.
  static const bool substituted = [] {
    QFont::insertSubstitutions(
        QStringLiteral("MS Sans Serif"),
        {QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), QStringLiteral("Helvetica")});
    return true;
  }();
  (void)substituted;
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(PixelSize);
  font.setBold(Bold);
  return font;
}

void GrowToCaption(QWidget* Control, int Limit) {
  int needed = Control->sizeHint().width();
  if (auto* label = qobject_cast<QLabel*>(Control)) {
    needed = label->fontMetrics().horizontalAdvance(label->text()) + 2 * label->margin() + 2;
  }
  if (needed > Control->width()) Control->resize(std::min(needed, Limit), Control->height());
}

TBitBtn::TBitBtn(QWidget* parent) : QPushButton(parent) {
  setAutoDefault(false);
  setIconSize(QSize(18, 18));
  connect(this, &QPushButton::clicked, this, [this] {
    if (auto* dialog = qobject_cast<TQuillbyDialog*>(window())) {
      dialog->ButtonClick(this);
    } else if (OnClick) {
      Guard(this, OnClick);
    }
  });
}

void TBitBtn::SetKind(TBitBtnKind Kind) {
  struct KindValues {
    const char* Caption;
    int Result;
    bool Default;
    bool Cancel;
  };
  KindValues values{"", mrNone, false, false};
  switch (Kind) {
    case TBitBtnKind::OK:
      values = {"OK", mrOk, true, false};
      break;
    case TBitBtnKind::Cancel:
      values = {"Cancel", mrCancel, false, true};
      break;
    case TBitBtnKind::Yes:
      values = {"&Yes", mrYes, true, false};
      break;
    case TBitBtnKind::No:
      values = {"&No", mrNo, false, true};
      break;
    case TBitBtnKind::Abort:
      values = {"Abort", mrAbort, false, false};
      break;
    case TBitBtnKind::Retry:
      values = {"&Retry", mrRetry, false, false};
      break;
    case TBitBtnKind::Ignore:
      values = {"&Ignore", mrIgnore, false, false};
      break;
    case TBitBtnKind::Custom:
      FKind = Kind;
      return;
  }
  FKind = Kind;
  setText(QString::fromLatin1(values.Caption));
  SetGlyph(KindGlyph(Kind), KindGlyph(Kind, true));
  FModalResult = values.Result;
  SetDefault(values.Default);
  FCancel = values.Cancel;
}

void TBitBtn::SetDefault(bool Value) {
  FDefault = Value;
  setDefault(Value);
}

void TBitBtn::SetGlyph(const QPixmap& Normal, const QPixmap& Disabled) {
  QIcon icon;
  icon.addPixmap(Normal, QIcon::Normal);
  icon.addPixmap(Disabled, QIcon::Disabled);
  setIconSize(Normal.deviceIndependentSize().toSize());
  setIcon(icon);
}

void TBitBtn::Click() { click(); }

TPanel::TPanel(QWidget* parent) : QFrame(parent) { setFrameShape(QFrame::NoFrame); }

void TPanel::mousePressEvent(QMouseEvent* Event) {
  if (OnMouseDown) {
    OnMouseDown(Event);
  } else {
    QFrame::mousePressEvent(Event);
  }
}

void TPanel::mouseMoveEvent(QMouseEvent* Event) {
  if (OnMouseMove) {
    OnMouseMove(Event);
  } else {
    QFrame::mouseMoveEvent(Event);
  }
}

void TPanel::mouseReleaseEvent(QMouseEvent* Event) {
  if (OnMouseUp) {
    OnMouseUp(Event);
  } else {
    QFrame::mouseReleaseEvent(Event);
  }
}

TQuillbyDialog::TQuillbyDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
  setObjectName("QuillbyDialog");
  setWindowTitle("Quillby");
  CacheGroupBoxFrame();
  setFont(DialogFont());
  QPalette white = palette();
  white.setColor(QPalette::Window, Qt::white);
  white.setColor(QPalette::WindowText, Qt::black);
  setPalette(white);
  setAutoFillBackground(true);

  Panel1 = new TPanel(this);
  Panel1->setObjectName("Panel1");
  Panel1->setFrameShape(QFrame::Box);
  Panel1->setFrameShadow(QFrame::Plain);
  Panel1->setLineWidth(kBorder);

  Panel2 = new TPanel(Panel1);
  Panel2->setObjectName("Panel2");
  Panel2->setFont(DialogFont(11, true));
  QPalette grey = Panel2->palette();
  grey.setColor(QPalette::Window, QColor(128, 128, 128));
  Panel2->setPalette(grey);
  Panel2->setAutoFillBackground(true);
  Panel2->setMouseTracking(true);
  auto position = [](QMouseEvent* e) { return e->position().toPoint(); };
  Panel2->OnMouseDown = [this, position](QMouseEvent* e) {
    Guard(Panel2,
          [&] { Panel2MouseDown(e->button(), e->modifiers(), position(e).x(), position(e).y()); });
  };
  Panel2->OnMouseMove = [this, position](QMouseEvent* e) {
    Guard(Panel2, [&] { Panel2MouseMove(e->modifiers(), position(e).x(), position(e).y()); });
  };
  Panel2->OnMouseUp = [this, position](QMouseEvent* e) {
    Guard(Panel2,
          [&] { Panel2MouseUp(e->button(), e->modifiers(), position(e).x(), position(e).y()); });
  };

  lblCaption = new QLabel(Panel2);
  lblCaption->setObjectName("lblCaption");
  lblCaption->setTextFormat(Qt::PlainText);
  lblCaption->setFont(DialogFont(11, true));
  QPalette caption = lblCaption->palette();
  caption.setColor(QPalette::WindowText, Qt::white);
  lblCaption->setPalette(caption);
  // A press on the title text belongs to the label and does not start a drag.
  lblCaption->installEventFilter(this);

  Panel3 = new TPanel(Panel1);
  Panel3->setObjectName("Panel3");

  Panel4 = new TPanel(Panel1);
  Panel4->setObjectName("Panel4");

  btnOK = new TBitBtn(Panel4);
  btnOK->setObjectName("btnOK");
  btnOK->SetKind(TBitBtnKind::OK);
  btnCancel = new TBitBtn(Panel4);
  btnCancel->setObjectName("btnCancel");
  btnCancel->SetKind(TBitBtnKind::Cancel);

  resize(341, 321);
  LayoutFrame();
  SetCaptionText("Quillby Desktop");
  btnOK->setGeometry(175, 3, 75, 25);
  btnCancel->setGeometry(255, 3, 75, 25);
  Anchor(btnOK, akRight | akBottom);
  Anchor(btnCancel, akRight | akBottom);
  setTabOrder(btnOK, btnCancel);
}

TQuillbyDialog::~TQuillbyDialog() {
  if (Dragging()) SetScreenCursor(crDefault);
}

void TQuillbyDialog::SetCaptionText(const QString& Text) {
  lblCaption->setText(Text);
  lblCaption->adjustSize();
  lblCaption->move(8, 3);
}

void TQuillbyDialog::SetClientSize(int Width, int Height) {
  resize(Width, Height);
  LayoutFrame();
}

void TQuillbyDialog::Anchor(QWidget* Control, unsigned Anchors) {
  FAnchored.push_back({Control, Anchors, Control->parentWidget()->size()});
}

void TQuillbyDialog::LayoutFrame() {
  const int w = width();
  const int h = height();
  const int inner = std::max(0, w - 2 * kBorder);
  Panel1->setGeometry(0, 0, w, h);
  Panel2->setGeometry(kBorder, kBorder, inner, kTitleHeight);
  Panel4->setGeometry(kBorder, std::max(kBorder, h - kBorder - kButtonBarHeight), inner,
                      kButtonBarHeight);
  Panel3->setGeometry(kBorder, kBorder + kTitleHeight, inner,
                      std::max(0, h - 2 * kBorder - kTitleHeight - kButtonBarHeight));
  for (auto& anchored : FAnchored) {
    if (!anchored.Control) continue;
    QWidget* control = anchored.Control;
    const QSize parent = control->parentWidget()->size();
    const int dx = parent.width() - anchored.ParentSize.width();
    const int dy = parent.height() - anchored.ParentSize.height();
    QRect r = control->geometry();
    if (anchored.Anchors & akRight) {
      if (anchored.Anchors & akLeft) {
        r.setWidth(std::max(0, r.width() + dx));
      } else {
        r.moveLeft(r.left() + dx);
      }
    }
    if (anchored.Anchors & akBottom) {
      if (anchored.Anchors & akTop) {
        r.setHeight(std::max(0, r.height() + dy));
      } else {
        r.moveTop(r.top() + dy);
      }
    }
    control->setGeometry(r);
    anchored.ParentSize = parent;
  }
}

void TQuillbyDialog::resizeEvent(QResizeEvent* Event) {
  QDialog::resizeEvent(Event);
  LayoutFrame();
}

void TQuillbyDialog::hideEvent(QHideEvent* Event) {
  // A window that goes away in the middle of a drag ends it.
  if (Dragging()) Panel2MouseUp(Qt::NoButton, Qt::NoModifier, 0, 0);
  QDialog::hideEvent(Event);
}

void TQuillbyDialog::showEvent(QShowEvent* Event) {
  QDialog::showEvent(Event);
  if (!FShownOnce) {
    FShownOnce = true;
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
      const QRect area = screen->geometry();
      move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
  }
  if (FActiveControl) FActiveControl->setFocus(Qt::OtherFocusReason);
}

int TQuillbyDialog::ShowModal() {
  // The window that was active gets the activation back, as the dialog may have no parent.
  QPointer<QWidget> previous = QApplication::activeWindow();
  FModalResult = mrNone;
  exec();
  if (previous && previous != this && previous->isVisible()) previous->activateWindow();
  return FModalResult;
}

void TQuillbyDialog::SetModalResult(int Result) {
  FModalResult = Result;
  CloseIfResult();
}

void TQuillbyDialog::CloseIfResult() {
  if (FModalResult != mrNone && FClickDepth == 0 && isVisible()) QDialog::done(FModalResult);
}

void TQuillbyDialog::ButtonClick(TBitBtn* Button) {
  QPointer<TQuillbyDialog> self(this);
  ++FClickDepth;
  if (Button->ModalResult() != mrNone) FModalResult = Button->ModalResult();
  Guard(Button, [&] {
    try {
      if (Button->OnClick) Button->OnClick();
    } catch (...) {
      if (self) FModalResult = mrNone;
      throw;
    }
  });
  if (!self) return;
  --FClickDepth;
  CloseIfResult();
}

void TQuillbyDialog::reject() {
  FModalResult = mrCancel;
  QDialog::done(mrCancel);
}

void TQuillbyDialog::keyPressEvent(QKeyEvent* Event) {
  const auto modifiers = Event->modifiers() & ~Qt::KeypadModifier;
  const int key = Event->key();
  const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
  if (key == Qt::Key_F4 && modifiers == Qt::AltModifier) {
    // The system's close command, for when no window manager takes the key for a frameless
    // window.
    Event->accept();
    close();
    return;
  }
  if ((!enter && key != Qt::Key_Escape) || modifiers != Qt::NoModifier) {
    Event->ignore();
    return;
  }
  Event->accept();
  Guard(this, [&] {
    auto usable = [](QAbstractButton* b) { return b->isVisible() && b->isEnabled(); };
    if (enter) {
      // The focused button outranks the default mark.
      if (auto* focused = qobject_cast<QPushButton*>(focusWidget())) {
        if (usable(focused)) {
          focused->click();
          return;
        }
      }
      for (TBitBtn* button : findChildren<TBitBtn*>()) {
        if (button->Default() && usable(button)) {
          button->Click();
          return;
        }
      }
      return;
    }
    for (TBitBtn* button : findChildren<TBitBtn*>()) {
      if (button->Cancel() && usable(button)) {
        button->Click();
        return;
      }
    }
  });
}

bool TQuillbyDialog::eventFilter(QObject* Watched, QEvent* Event) {
  if (Watched == lblCaption) {
    switch (Event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::MouseMove:
        return true;
      default:
        break;
    }
  }
  return QDialog::eventFilter(Watched, Event);
}

bool TQuillbyDialog::Dragging() const { return QWidget::mouseGrabber() == Panel2; }

void TQuillbyDialog::Panel2MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, int X, int Y) {
  FDownX = X;
  FDownY = Y;
  SetScreenCursor(crHandPoint);
  Panel2->grabMouse();
  // A Wayland client cannot place its own window: the compositor moves it for the rest of the
  // press. Elsewhere the window follows the mouse-move events itself.
  FSystemMove = QGuiApplication::platformName().startsWith(QLatin1String("wayland")) &&
                windowHandle() && windowHandle()->startSystemMove();
}

void TQuillbyDialog::Panel2MouseMove(Qt::KeyboardModifiers, int X, int Y) {
  if (!Dragging()) return;
  if (FSystemMove) {
    // The compositor hands the pointer back once the button is up, and may keep the release.
    if (QGuiApplication::mouseButtons() == Qt::NoButton) Panel2MouseUp(Qt::NoButton, {}, X, Y);
    return;
  }
  // The window's top-left corner goes to the cursor's screen position minus the press position.
  move(Panel2->mapToGlobal(QPoint(X - FDownX, Y - FDownY)));
  repaint();
}

void TQuillbyDialog::Panel2MouseUp(Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
  Panel2->releaseMouse();
  FSystemMove = false;
  SetScreenCursor(crDefault);
}
