#include "dialogs/labeled_edit.h"

#include <QProxyStyle>

namespace {

// The style the application has, asked for "*" as the password character: the style, not the
// box, decides which character a password box draws.
class TStarStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint Hint, const QStyleOption* Option, const QWidget* Widget,
                QStyleHintReturn* Data) const override {
    if (Hint == SH_LineEdit_PasswordCharacter) return '*';
    return QProxyStyle::styleHint(Hint, Option, Widget, Data);
  }
};

}  // namespace

TLabeledEdit::TLabeledEdit(QWidget* parent, const QString& Name, const QString& Caption,
                           TLabelPosition Position, int Spacing)
    : QLineEdit(parent), FPosition(Position), FSpacing(Spacing) {
  setObjectName(Name);
  EditLabel = new QLabel(Caption, parent);
  EditLabel->setObjectName(Name + "Label");
  EditLabel->setTextFormat(Qt::PlainText);
  EditLabel->setBuddy(this);
  EditLabel->adjustSize();
}

void TLabeledEdit::SetBounds(int Left, int Top, int Width, int Height) {
  setGeometry(Left, Top, Width, Height);
  EditLabel->adjustSize();
  const QSize label = EditLabel->size();
  if (FPosition == lpLeft) {
    EditLabel->move(Left - FSpacing - label.width(), Top + (Height - label.height()) / 2);
  } else {
    EditLabel->move(Left, Top - FSpacing - label.height());
  }
}

void ShowAsStars(QLineEdit* Box) {
  auto* style = new TStarStyle;
  style->setParent(Box);
  Box->setStyle(style);
  Box->setEchoMode(QLineEdit::Password);
}
