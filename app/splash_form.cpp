#include "app/splash_form.h"

#include <QPalette>

#include "desktop/artwork.h"
#include "desktop/look.h"

TSplashForm::TSplashForm(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
  setObjectName("SplashForm");
  setWindowTitle("Marrowvale");
  setFixedSize(447, 245);
  setFont(look::SansFont());
  QPalette background = palette();
  background.setColor(QPalette::Window, background.color(QPalette::Button));
  setPalette(background);
  setAutoFillBackground(true);

  imgSplash = new QLabel(this);
  imgSplash->setObjectName("imgSplash");
  imgSplash->setPixmap(artwork::SplashArt());
  imgSplash->setGeometry(rect());

  lblVersion = new QLabel("Version 1.0", this);
  lblVersion->setObjectName("lblVersion");
  lblVersion->setFont(look::SansFont(11, true));
  lblVersion->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  lblVersion->setAttribute(Qt::WA_TranslucentBackground);
  lblVersion->setGeometry(367, 228, 65, 13);
}
