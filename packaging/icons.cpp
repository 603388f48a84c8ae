// quillby-icons OUTDIR APPID: writes the application icon, painted by the program's own logo code,
// as OUTDIR/scalable/apps/APPID.svg and OUTDIR/NxN/apps/APPID.png for the hicolor theme.
#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QSvgGenerator>
#include <cstdio>

#include "desktop/artwork.h"

namespace {

bool WriteSvg(const QString& Path) {
  QSvgGenerator svg;
  svg.setFileName(Path);
  svg.setTitle(QStringLiteral("Quillby Desktop"));
  svg.setDescription(QStringLiteral("A quill and a pile of coins on a green disc"));
  svg.setSize(QSize(artwork::kIconUnits, artwork::kIconUnits));
  svg.setViewBox(QRect(0, 0, artwork::kIconUnits, artwork::kIconUnits));
  QPainter p;
  if (!p.begin(&svg)) return false;
  artwork::PaintIcon(p);
  return p.end();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s OUTDIR APPID\n", argv[0]);
    return 2;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QDir out(QString::fromLocal8Bit(argv[1]));
  const QString name = QString::fromLocal8Bit(argv[2]);
  bool written =
      out.mkpath("scalable/apps") && WriteSvg(out.filePath("scalable/apps/" + name + ".svg"));
  for (int size : {16, 32, 48, 64, 128, 256}) {
    const QString folder = QStringLiteral("%1x%1/apps").arg(size);
    written = written && out.mkpath(folder) &&
              artwork::IconImage(size).save(out.filePath(folder + "/" + name + ".png"), "PNG");
  }
  if (!written) {
    std::fprintf(stderr, "Cannot write the icons into '%s'.\n", argv[1]);
    return 1;
  }
  return 0;
}
