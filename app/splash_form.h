#pragma once

#include <QLabel>
#include <QPixmap>
#include <QWidget>

// The splash's picture at Ratio device pixels to each 96-dpi pixel: at 1 and 2 the copy painted
// during the build (tools/splash), shown without fonts, painting or decoding; painted now at any
// other ratio.
QPixmap SplashPicture(qreal Ratio);

// The start-up splash: a borderless picture with the version, shown while the store comes up.
class TSplashForm : public QWidget {
  Q_OBJECT

 public:
  explicit TSplashForm(QWidget* parent = nullptr);

  QLabel* imgSplash;
  QLabel* lblVersion;
};
