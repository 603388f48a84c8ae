#pragma once

#include <QLabel>
#include <QWidget>

// The start-up splash: a borderless picture with the version, shown while the store comes up.
class TSplashForm : public QWidget {
  Q_OBJECT

 public:
  explicit TSplashForm(QWidget* parent = nullptr);

  QLabel* imgSplash;
  QLabel* lblVersion;
};
