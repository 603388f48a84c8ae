#include "dialogs/error_report.h"

#include "dialogs/app_events.h"
#include "dialogs/message_dialog.h"

void aevQuillbyException(QObject*, const std::exception& E) {
  ShowMessageDialog("", FailureMessage(E), DialogButtons({TDialogButton::OK}), TDialogButton::OK,
                    "");
}
