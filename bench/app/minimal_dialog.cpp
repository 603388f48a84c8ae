// The yardstick for the program's start-up: a Qt Widgets program that shows one small dialog.
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QDialog dialog;
  dialog.setWindowTitle("Minimal dialog");
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(new QLabel("One dialog and nothing else."));
  auto* ok = new QPushButton("OK");
  QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
  layout->addWidget(ok);
  return dialog.exec() == QDialog::Accepted ? 0 : 1;
}
