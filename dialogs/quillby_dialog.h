#pragma once

#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <functional>
#include <vector>

// Modal results.
enum : int {
  mrNone = 0,
  mrOk = 1,
  mrCancel = 2,
  mrAbort = 3,
  mrRetry = 4,
  mrIgnore = 5,
  mrYes = 6,
  mrNo = 7
};

enum class TBitBtnKind { Custom, OK, Cancel, Yes, No, Abort, Retry, Ignore };

// A push button with a glyph. Its kind sets caption, glyph, modal result and the default and
// cancel marks together. The default mark makes Enter press it when no button has the focus;
// the cancel mark makes Esc press it.
class TBitBtn : public QPushButton {
  Q_OBJECT
 public:
  explicit TBitBtn(QWidget* parent = nullptr);

  void SetKind(TBitBtnKind Kind);
  TBitBtnKind Kind() const { return FKind; }
  int ModalResult() const { return FModalResult; }
  void SetModalResult(int Result) { FModalResult = Result; }
  bool Default() const { return FDefault; }
  void SetDefault(bool Value);
  bool Cancel() const { return FCancel; }
  void SetCancel(bool Value) { FCancel = Value; }
  // The normal glyph and its greyed twin for the disabled state.
  void SetGlyph(const QPixmap& Normal, const QPixmap& Disabled);

  // The click handler, run by the dialog under the modal-result convention.
  std::function<void()> OnClick;

  // Presses the button as the user would.
  void Click();

 private:
  TBitBtnKind FKind = TBitBtnKind::Custom;
  int FModalResult = mrNone;
  bool FDefault = false;
  bool FCancel = false;
};

// A plain panel whose mouse events can be bound to handlers.
class TPanel : public QFrame {
  Q_OBJECT
 public:
  explicit TPanel(QWidget* parent = nullptr);

  std::function<void(QMouseEvent*)> OnMouseDown, OnMouseMove, OnMouseUp;

 protected:
  void mousePressEvent(QMouseEvent* Event) override;
  void mouseMoveEvent(QMouseEvent* Event) override;
  void mouseReleaseEvent(QMouseEvent* Event) override;
};

enum TAnchor : unsigned { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };

// The frame of every dialog: borderless, its own grey title bar (Panel2 with lblCaption) by
// which it is dragged, a content area (Panel3) and a button bar (Panel4 with btnOK and
// btnCancel), all inside Panel1, whose one-pixel border is the dialog's outline. Positions of
// the panels' children are relative to their panel.
class TQuillbyDialog : public QDialog {
  Q_OBJECT
 public:
  explicit TQuillbyDialog(QWidget* parent = nullptr);
  ~TQuillbyDialog() override;

  // Shows the dialog modally, centred on the screen, and returns its modal result.
  int ShowModal();
  // For a dialog hidden for good that stays as an object: its native window and backing store
  // go; showing it again would make new ones.
  void ReleaseNativeWindow() { destroy(); }
  int ModalResult() const { return FModalResult; }
  // A result other than none closes a modal dialog once the running click handler returns.
  void SetModalResult(int Result);

  // The modal-result convention, in its one place: stores the button's result, runs its click
  // handler under the guard, resets the result to none when the handler fails, and closes the
  // dialog when a result other than none is left.
  void ButtonClick(TBitBtn* Button);

  // Dragging is exactly: Panel2 holds the mouse capture.
  bool Dragging() const;
  // The compositor moves the window during the current drag (Wayland).
  bool MovedByCompositor() const { return FSystemMove; }

 protected:
  // Declaration order of the controls.
  TPanel* Panel4;
  TPanel* Panel3;
  TBitBtn* btnOK;
  TBitBtn* btnCancel;
  TPanel* Panel1;
  TPanel* Panel2;
  QLabel* lblCaption;

  void Panel2MouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);
  void Panel2MouseMove(Qt::KeyboardModifiers Shift, int X, int Y);
  void Panel2MouseUp(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);

  // Sets the client size and lays the panels out again.
  void SetClientSize(int Width, int Height);
  // Keeps a child's distances to the named edges of its parent when the parent is resized.
  void Anchor(QWidget* Control, unsigned Anchors);
  // The control that takes the focus when the dialog is shown.
  void SetActiveControl(QWidget* Control) { FActiveControl = Control; }
  void SetCaptionText(const QString& Text);

  void keyPressEvent(QKeyEvent* Event) override;
  void resizeEvent(QResizeEvent* Event) override;
  void showEvent(QShowEvent* Event) override;
  void hideEvent(QHideEvent* Event) override;
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 public:
  // Closing by the system's close command (Alt+F4) or QDialog::reject gives Cancel.
  void reject() override;

 private:
  struct TAnchored {
    QPointer<QWidget> Control;
    unsigned Anchors;
    QSize ParentSize;
  };

  void LayoutFrame();
  void CloseIfResult();

  int FDownX = 0;
  int FDownY = 0;
  // The compositor moves the window during this drag.
  bool FSystemMove = false;
  int FModalResult = mrNone;
  int FClickDepth = 0;
  bool FShownOnce = false;
  QPointer<QWidget> FActiveControl;
  std::vector<TAnchored> FAnchored;
};

// The dialogs' font: "MS Sans Serif" at the given pixel height (falls back to a sans font).
QFont DialogFont(int PixelSize = 11, bool Bold = false);

// A fallback face can be wider than the designed one: a one-line caption grows to show all of its
// text, never past Limit pixels wide.
void GrowToCaption(QWidget* Control, int Limit);
