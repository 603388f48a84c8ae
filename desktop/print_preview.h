#pragma once

#include <QIcon>
#include <QString>
#include <functional>

class QPagedPaintDevice;
class QWidget;

// A print preview, from which the document goes to any printer the desktop knows or into a PDF
// file. Qt's print support is in the module quillby-print.so (print_module.cpp), opened with the
// first preview.
struct TPrintPreview {
  QString DocumentName;
  QString Title;
  QIcon Icon;
  QString Description;  // what a screen reader says of the window
  QWidget* Parent = nullptr;
  // Paints the document on the printer the preview shows; Preview is the preview's window.
  std::function<void(QWidget& Preview, QPagedPaintDevice& Printer)> Paint;
};

// Shows the preview and returns when it is closed. Throws Exception when the module cannot be
// opened.
void ShowPrintPreview(const TPrintPreview& Preview);
