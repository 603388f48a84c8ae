// Qt's print preview in a module of its own, which print_preview.cpp opens with the first
// preview: Qt Print Support costs about 350 kB of resident memory from start-up on when the
// program links it, for a window only the offline fax sheet opens.
#include <QAction>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLocale>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScreen>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>

#include "desktop/print_preview.h"

namespace {

// A preview whose focus starts on its Print button: its own set-up puts it on the page view.
class TFocusedPreview : public QPrintPreviewDialog {
 public:
  using QPrintPreviewDialog::QPrintPreviewDialog;
  QToolButton* PrintButton = nullptr;

  void setVisible(bool Visible) override {
    QPrintPreviewDialog::setVisible(Visible);
    if (Visible && PrintButton) PrintButton->setFocus();
  }
};

}  // namespace

extern "C" Q_DECL_EXPORT void QuillbyShowPrintPreview(const TPrintPreview& Request) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName(Request.DocumentName);
  // Without a printer the page is a PDF's, by default A4; Letter where paper is measured in inches.
  if (printer.outputFormat() == QPrinter::PdfFormat &&
      QLocale().measurementSystem() != QLocale::MetricSystem) {
    printer.setPageSize(QPageSize(QPageSize::Letter));
  }
  printer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
  TFocusedPreview preview(&printer, Request.Parent);
  preview.setWindowTitle(Request.Title);
  preview.setWindowIcon(Request.Icon);
  preview.setAccessibleDescription(Request.Description);
  QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                   [&](QPrinter* target) { Request.Paint(preview, *target); });

  // The tool bar's buttons take the focus from Tab like every other control.
  const QString print = QCoreApplication::translate("QPrintPreviewDialog", "Print");
  QToolButton*& printButton = preview.PrintButton;
  QToolButton* lastButton = nullptr;
  for (QToolBar* bar : preview.findChildren<QToolBar*>()) {
    for (QAction* action : bar->actions()) {
      auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(action));
      if (!button) continue;
      button->setFocusPolicy(Qt::TabFocus);
      lastButton = button;
      if (action->text() == print) {
        printButton = button;
        action->setShortcut(QKeySequence::Print);
      }
    }
  }
  // Print is the tool bar's last button where a translation names it otherwise.
  if (!printButton) printButton = lastButton;

  const QScreen* screen =
      Request.Parent ? Request.Parent->screen() : QGuiApplication::primaryScreen();
  if (screen) {
    const QSize room = screen->availableGeometry().size() * 0.9;
    preview.resize(std::min(820, room.width()), std::min(1000, room.height()));
  }
  preview.exec();
}
