#include "desktop/print_preview.h"

#include "desktop/modules.h"
#include "platform/exception.h"

void ShowPrintPreview(const TPrintPreview& Preview) {
  using TShow = void (*)(const TPrintPreview&);
  static const auto show =
      reinterpret_cast<TShow>(ModuleFunction(QUILLBY_PRINT_MODULE, "QuillbyShowPrintPreview"));
  if (!show) {
    throw Exception(std::string("The print preview cannot be shown: its module ") +
                    QUILLBY_PRINT_MODULE + " was not found.");
  }
  show(Preview);
}
