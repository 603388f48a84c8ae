#include "dialogs/labeled_edit.h"

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
