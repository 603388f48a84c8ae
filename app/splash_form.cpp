#include "app/splash_form.h"

#include <QPalette>
#include <QResource>

#include "desktop/artwork.h"
#include "desktop/look.h"

QPixmap SplashPicture(qreal Ratio) {
  if (Ratio == 1 || Ratio == 2) {
    const QSize size = artwork::kSplashSize * Ratio;
    const QResource file(Ratio == 1 ? QStringLiteral(":/artwork/splash.rgb")
                                    : QStringLiteral(":/artwork/splash@2x.rgb"));
    const QByteArray pixels = file.uncompressedData();
    if (pixels.size() == qint64(size.width()) * size.height() * 3) {
      QImage picture(reinterpret_cast<const uchar*>(pixels.constData()), size.width(),
                     size.height(), size.width() * 3, QImage::Format_RGB888);
      picture.setDevicePixelRatio(Ratio);
      return QPixmap::fromImage(picture);
    }
  }
  return artwork::SplashArt(Ratio);
}

TSplashForm::TSplashForm(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
  setObjectName("SplashForm");
  setWindowTitle("Marrowvale");
  setFixedSize(artwork::kSplashSize);
  setFont(look::SansFont());
  QPalette background = palette();
  background.setColor(QPalette::Window, background.color(QPalette::Button));
  setPalette(background);
  setAutoFillBackground(true);

  imgSplash = new QLabel(this);
  imgSplash->setObjectName("imgSplash");
  imgSplash->setPixmap(SplashPicture(qGuiApp->devicePixelRatio()));
  imgSplash->setGeometry(rect());

  lblVersion = new QLabel("Version 1.0", this);
  lblVersion->setObjectName("lblVersion");
  lblVersion->setFont(look::SansFont(11, true));
  lblVersion->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  lblVersion->setAttribute(Qt::WA_TranslucentBackground);
  lblVersion->setGeometry(367, 228, 65, 13);
}
