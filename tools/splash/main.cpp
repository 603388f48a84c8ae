// quillby-splash OUTDIR: writes the splash, painted by artwork::SplashArt, as OUTDIR/splash.rgb
// (one device pixel to a 96-dpi pixel) and OUTDIR/splash@2x.rgb (two): 24-bit pixels, red, green
// and blue bytes, row after row with nothing between, ready to show without decoding.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>

#include "desktop/artwork.h"

namespace {

bool WriteRgb(const QImage& Picture, const QString& Path) {
  QFile file(Path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  const QImage rgb = Picture.convertToFormat(QImage::Format_RGB888);
  const qint64 row = qint64(rgb.width()) * 3;
  for (int y = 0; y < rgb.height(); ++y) {
    if (file.write(reinterpret_cast<const char*>(rgb.constScanLine(y)), row) != row) return false;
  }
  return file.flush();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QDir out(QString::fromLocal8Bit(argv[1]));
  bool written = out.mkpath(".");
  for (const auto& [ratio, name] : {std::pair{1, "splash.rgb"}, std::pair{2, "splash@2x.rgb"}}) {
    written = written && WriteRgb(artwork::SplashArt(ratio).toImage(),
                                  out.filePath(QString::fromLatin1(name)));
  }
  if (!written) {
    std::fprintf(stderr, "Cannot write the splash pictures into '%s'.\n", argv[1]);
    return 1;
  }
  return 0;
}
