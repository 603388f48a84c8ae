#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
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
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
    return 2;
  }
  // Never on the user's screen, never with the user's settings or store.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir scratch;
  if (!scratch.isValid()) {
    std::fprintf(stderr, "Cannot create a temporary folder.\n");
    return 1;
  }
  qputenv("XDG_CONFIG_HOME", QDir(scratch.path()).filePath("config").toLocal8Bit());
  QApplication app(argc, argv);
  const QString out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
  if (!QDir().mkpath(out)) {
    std::fprintf(stderr, "Cannot create the folder '%s'.\n", argv[1]);
    return 1;
  }
  // The desktop window opens its connection log in the working directory.
  QDir::setCurrent(scratch.path());
  TQuillbyData data(QDir(scratch.path()).filePath("quillby").toStdString());
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
