#pragma once

#include <QLabel>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "dialogs/button_captions.h"
#include "dialogs/quillby_dialog.h"

enum class TDialogButton { Yes, No, OK, Cancel, Abort, Retry, Ignore };

// Bit n stands for the member with ordinal n; bits 7 to 15 have no button.
using TDialogButtons = std::uint16_t;

constexpr TDialogButtons DialogButtons(std::initializer_list<TDialogButton> Members) {
  TDialogButtons set = 0;
  for (TDialogButton member : Members) set |= TDialogButtons(1u << unsigned(member));
  return set;
}

constexpr bool HasButton(TDialogButtons Buttons, TDialogButton Member) {
  return unsigned(Member) <= 15 && (Buttons & (1u << unsigned(Member))) != 0;
}

// Shows Message in a modal TMessageDialog and returns the modal result of the button that closed
// it (Cancel when closed by the system's close command). ButtonCaptions holds optional caption
// overrides: name=caption entries separated by ";".
int ShowMessageDialog(const std::string& CaptionSuffix, const std::string& Message,
                      TDialogButtons Buttons, TDialogButton DefaultButton,
                      const std::string& ButtonCaptions);

class TMessageDialog : public TQuillbyDialog {
  Q_OBJECT
 public:
  explicit TMessageDialog(QWidget* parent = nullptr);

  // Everything ShowMessageDialog does before showing the dialog: title, message, buttons and
  // their kinds, default mark, caption overrides, layout and height.
  void Prepare(const std::string& CaptionSuffix, const std::string& Message, TDialogButtons Buttons,
               TDialogButton DefaultButton, const std::string& ButtonCaptions);

  // Centres the visible buttons in Panel4, Gap pixels apart, in Panel4's child order.
  void LayoutButtons(int Gap);

  // The number of lines Message takes in a word-wrapping edit box with lblMessage's bounds and
  // font; a last line that is empty is not counted.
  int MessageLineCount() const;

  // The message as it was handed over, line breaks as the program wrote them.
  const std::string& Message() const { return FMessage; }

 protected:
  QLabel* lblMessage;
  TBitBtn* btnRetry;
  TBitBtn* btnNo;

 private:
  void FormCreate();
  std::string FMessage;
};
