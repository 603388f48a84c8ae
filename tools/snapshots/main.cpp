#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "data/quillby_data.h"
#include "platform/exception.h"
#include "tools/snapshots/shots.h"

namespace {
std::vector<std::pair<std::string, TShotFunction>>& Shots() {
  static std::vector<std::pair<std::string, TShotFunction>> shots;
  return shots;
}
}  // namespace

bool RegisterShot(const char* Name, TShotFunction Shoot) {
  Shots().emplace_back(Name, Shoot);
  return true;
}

void SaveShot(QWidget& Window, const TShotContext& Context, const QString& Name) {
  Window.show();
  QApplication::processEvents();
  const QString path = QDir(Context.OutDir).filePath(Name + ".png");
  if (!Window.grab().save(path, "PNG")) {
    throw Exception("Cannot write the picture '" + path.toStdString() + "'.");
  }
  Window.hide();
  std::printf("%s\n", path.toLocal8Bit().constData());
}

int main(int argc, char** argv) {
  // --scale FACTOR draws every window as on a screen of that scale factor (2: a high-DPI
  // screen); the pictures then hold FACTOR device pixels per 96-dpi pixel.
  const bool scaled = argc == 4 && std::string(argv[1]) == "--scale";
  if (argc != 2 && !scaled) {
    std::fprintf(stderr, "usage: %s [--scale FACTOR] OUTDIR\n", argv[0]);
    return 2;
  }
  if (scaled) {
    char* end = nullptr;
    const double factor = std::strtod(argv[2], &end);
    if (end == argv[2] || *end != '\0' || !(factor >= 0.5 && factor <= 8)) {
      std::fprintf(stderr, "The scale factor '%s' is not a number from 0.5 to 8.\n", argv[2]);
      return 2;
    }
    qputenv("QT_SCALE_FACTOR", argv[2]);
  }
  const char* outArgument = argv[argc - 1];
  // Never on the user's screen, never with the user's settings or store.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir scratch;
  if (!scratch.isValid()) {
    std::fprintf(stderr, "Cannot create a temporary folder.\n");
    return 1;
  }
  qputenv("XDG_CONFIG_HOME", QDir(scratch.path()).filePath("config").toLocal8Bit());
  QApplication app(argc, argv);
  const QString out = QDir(QString::fromLocal8Bit(outArgument)).absolutePath();
  if (!QDir().mkpath(out)) {
    std::fprintf(stderr, "Cannot create the folder '%s'.\n", outArgument);
    return 1;
  }
  // The desktop window opens its connection log in the working directory.
  QDir::setCurrent(scratch.path());
  TQuillbyData data(QDir(scratch.path()).filePath("quillby.mdb").toStdString());
  TShotContext context{data, out};
  auto& shots = Shots();
  std::sort(shots.begin(), shots.end());
  try {
    for (const auto& shot : shots) shot.second(context);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
