#pragma once

#include <QLabel>
#include <QLineEdit>

// An edit box with its caption label, placed to its left or above it. The label is the box's
// buddy, so a screen reader names the box.
class TLabeledEdit : public QLineEdit {
  Q_OBJECT
 public:
  enum TLabelPosition { lpLeft, lpAbove };

  TLabeledEdit(QWidget* parent, const QString& Name, const QString& Caption,
               TLabelPosition Position, int Spacing);

  // Places the box and its label.
  void SetBounds(int Left, int Top, int Width, int Height);

  QLabel* EditLabel;

 private:
  TLabelPosition FPosition;
  int FSpacing;
};

// Makes Box a password box that shows every character as "*", whatever the style would draw.
void ShowAsStars(QLineEdit* Box);
