#include <QApplication>

#include "app/startup.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  TStartupOptions options;
  options.ExecutablePath = QCoreApplication::applicationFilePath().toStdString();
  return RunQuillby(options);
}
