#include "dialogs/message_dialog.h"

#include <QFontMetrics>
#include <vector>

#include "tests/dialogs/gui_fixture.h"

namespace {

using B = TDialogButton;

class MessageDialogTest : public GuiTest {};

struct TShownButton {
  const char* Name;
  const char* Caption;
  int Left;
  int Result;
};

TEST_F(MessageDialogTest, ButtonSetsGiveVisibilityKindsAndCentredLayout) {
  const struct {
    TDialogButtons Buttons;
    std::vector<TShownButton> Shown;  // left to right
  } cases[] = {
      {DialogButtons({B::OK}), {{"btnOK", "OK", 130, mrOk}}},
      {DialogButtons({B::Yes, B::No}), {{"btnOK", "&Yes", 91, mrYes}, {"btnNo", "&No", 170, mrNo}}},
      {DialogButtons({B::OK, B::Cancel}),
       {{"btnOK", "OK", 91, mrOk}, {"btnCancel", "Cancel", 170, mrCancel}}},
      {DialogButtons({B::Yes, B::No, B::Cancel}),
       {{"btnOK", "&Yes", 51, mrYes},
        {"btnNo", "&No", 130, mrNo},
        {"btnCancel", "Cancel", 209, mrCancel}}},
      {DialogButtons({B::Abort, B::Retry, B::Ignore}),
       {{"btnRetry", "&Retry", 51, mrRetry},
        {"btnNo", "&Ignore", 130, mrIgnore},
        {"btnCancel", "Abort", 209, mrAbort}}},
      {DialogButtons({B::OK, B::Retry, B::No, B::Cancel}),
       {{"btnOK", "OK", 12, mrOk},
        {"btnRetry", "&Retry", 91, mrRetry},
        {"btnNo", "&No", 170, mrNo},
        {"btnCancel", "Cancel", 249, mrCancel}}},
      {DialogButtons({B::Yes, B::OK}), {{"btnOK", "&Yes", 130, mrYes}}},
      {DialogButtons({B::No, B::Ignore}), {{"btnNo", "&Ignore", 130, mrIgnore}}},
      {DialogButtons({B::Cancel, B::Abort}), {{"btnCancel", "Abort", 130, mrAbort}}},
      {0, {}},
      {0x0180, {}},
  };
  for (const auto& c : cases) {
    TMessageDialog dialog;
    dialog.Prepare("", "Message", c.Buttons, B::OK, "");
    std::vector<TBitBtn*> visible;
    for (QObject* child : Child(&dialog, "Panel4")->children()) {
      auto* button = qobject_cast<TBitBtn*>(child);
      if (button != nullptr && !button->isHidden()) visible.push_back(button);
    }
    ASSERT_EQ(visible.size(), c.Shown.size()) << "set " << c.Buttons;
    for (std::size_t i = 0; i < visible.size(); ++i) {
      EXPECT_EQ(visible[i]->objectName(), c.Shown[i].Name) << "set " << c.Buttons;
      EXPECT_EQ(visible[i]->text(), c.Shown[i].Caption) << "set " << c.Buttons;
      EXPECT_EQ(visible[i]->geometry(), QRect(c.Shown[i].Left, 3, 75, 25)) << "set " << c.Buttons;
      EXPECT_EQ(visible[i]->ModalResult(), c.Shown[i].Result) << "set " << c.Buttons;
    }
  }
}

TEST_F(MessageDialogTest, DefaultMarkFollowsTheDefaultButtonWhenItIsInTheSet) {
  const struct {
    TDialogButtons Buttons;
    TDialogButton Default;
    const char* Marked;  // nullptr: no button carries the mark
  } cases[] = {
      {DialogButtons({B::Yes, B::No}), B::Yes, "btnOK"},
      {DialogButtons({B::Yes, B::No}), B::No, "btnNo"},
      {DialogButtons({B::OK, B::Cancel}), B::Cancel, "btnCancel"},
      {DialogButtons({B::Abort, B::Retry}), B::Retry, "btnRetry"},
      {DialogButtons({B::OK}), B::Cancel, "btnOK"},
      {static_cast<TDialogButtons>(DialogButtons({B::OK}) | 0x0100), static_cast<B>(8), nullptr},
  };
  for (const auto& c : cases) {
    TMessageDialog dialog;
    dialog.Prepare("", "", c.Buttons, c.Default, "");
    for (const char* name : {"btnOK", "btnRetry", "btnNo", "btnCancel"}) {
      const bool marked = c.Marked != nullptr && std::string(name) == c.Marked;
      EXPECT_EQ(Child<TBitBtn>(&dialog, name)->Default(), marked)
          << name << " set " << c.Buttons << " default " << int(c.Default);
    }
  }
}

TEST_F(MessageDialogTest, HeightGrowsFifteenPixelsPerWrappedLine) {
  const struct {
    const char* Message;
    int Lines;
  } cases[] = {
      {"", 0},
      {"Short", 1},
      {"One\r\n\r\nTwo", 3},
      {"Ends with a break\r\n", 1},
      {"A\r\nB\r\nC\r\nD", 4},
      {"\r\n", 1},
  };
  for (const auto& c : cases) {
    TMessageDialog dialog;
    dialog.Prepare("", c.Message, DialogButtons({B::OK}), B::OK, "");
    EXPECT_EQ(dialog.height(), 85 + 15 * c.Lines) << c.Message;
    EXPECT_EQ(dialog.width(), 338) << c.Message;
    EXPECT_EQ(Child(&dialog, "lblMessage")->height(), 15 * c.Lines) << c.Message;
    EXPECT_EQ(Child(&dialog, "Panel4")->geometry().bottom(), dialog.height() - 2) << c.Message;
  }

  // A long line without breaks counts the lines it wraps into at the label's width.
  std::string text;
  for (int i = 0; i < 40; ++i) text += "wrapping ";
  TMessageDialog dialog;
  dialog.Prepare("", text, DialogButtons({B::OK}), B::OK, "");
  const int lines = (dialog.height() - 85) / 15;
  const int advance = QFontMetrics(Child(&dialog, "lblMessage")->font())
                          .horizontalAdvance(QString::fromStdString(text));
  EXPECT_EQ(dialog.height(), 85 + 15 * lines);
  EXPECT_GE(lines, advance / 305 + 1);
  EXPECT_LE(lines, advance / 200 + 2);
}

TEST_F(MessageDialogTest, TitleTakesTheSuffixAfterADash) {
  TMessageDialog plain;
  plain.Prepare("", "m", DialogButtons({B::OK}), B::OK, "");
  EXPECT_EQ(Child<QLabel>(&plain, "lblCaption")->text(), "Quillby Desktop");
  TMessageDialog suffixed;
  suffixed.Prepare("Feedback", "m", DialogButtons({B::OK}), B::OK, "");
  EXPECT_EQ(Child<QLabel>(&suffixed, "lblCaption")->text(), "Quillby Desktop - Feedback");
  EXPECT_EQ(suffixed.windowTitle(), "MessageDialog");
  // The message is shown as plain text, whatever it holds.
  TMessageDialog markup;
  markup.Prepare("", "<b>not bold</b> & more", DialogButtons({B::OK}), B::OK, "");
  EXPECT_EQ(Child<QLabel>(&markup, "lblMessage")->textFormat(), Qt::PlainText);
  EXPECT_EQ(Child<QLabel>(&markup, "lblMessage")->text(), "<b>not bold</b> & more");
}

TEST_F(MessageDialogTest, CaptionOverridesSplitLikeTheRegistryOfNames) {
  const struct {
    const char* Text;
    std::vector<std::string> Entries;
  } cases[] = {
      {"", {}},
      {"OK=Go", {"OK=Go"}},
      {"OK=Go;Cancel=Stop", {"OK=Go", "Cancel=Stop"}},
      {"OK=Go ahead", {"OK=Go", "ahead"}},
      {"\"OK=Go ahead\";No=Nope", {"OK=Go ahead", "No=Nope"}},
      {"\"OK=a;b\"", {"OK=a;b"}},
      {"\"OK=Say \"\"hi\"\"\"", {"OK=Say \"hi\""}},
      {"  OK=A\t;\r\nNo=B  ", {"OK=A", "No=B"}},
      {"OK=A\x01No=B", {"OK=A", "No=B"}},
      {"\"OK=never closed", {"OK=never closed"}},
      {"OK=\xC4rger", {"OK=\xC4rger"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SplitButtonCaptions(c.Text), c.Entries) << c.Text;
  }
}

TEST_F(MessageDialogTest, CaptionOverridesChangeOnlyTheCaptionOfTheNamedButton) {
  const struct {
    TDialogButtons Buttons;
    const char* Overrides;
    const char* Ok;
    const char* No;
    const char* Cancel;
    const char* Retry;
  } cases[] = {
      {DialogButtons({B::Yes, B::No}), "yes=Sure;NO=Nah", "Sure", "Nah", "Cancel", "&Retry"},
      {DialogButtons({B::OK, B::Cancel}), "Abort=Stop", "OK", "&No", "Stop", "&Retry"},
      {DialogButtons({B::OK}), "Help=X;OK;Okay=Y", "OK", "&No", "Cancel", "&Retry"},
      {DialogButtons({B::OK}), "OK=A;ok=B", "B", "&No", "Cancel", "&Retry"},
      {DialogButtons({B::OK}), "retry=Again;ignore=Skip", "OK", "Skip", "Cancel", "Again"},
      {DialogButtons({B::OK}), "\"OK=Go on\"", "Go on", "&No", "Cancel", "&Retry"},
      {DialogButtons({B::OK}), "OK=", "", "&No", "Cancel", "&Retry"},
      {DialogButtons({B::OK}), "OK=a=b", "a=b", "&No", "Cancel", "&Retry"},
  };
  for (const auto& c : cases) {
    TMessageDialog dialog;
    dialog.Prepare("", "", c.Buttons, B::OK, c.Overrides);
    EXPECT_EQ(Child<TBitBtn>(&dialog, "btnOK")->text(), c.Ok) << c.Overrides;
    EXPECT_EQ(Child<TBitBtn>(&dialog, "btnNo")->text(), c.No) << c.Overrides;
    EXPECT_EQ(Child<TBitBtn>(&dialog, "btnCancel")->text(), c.Cancel) << c.Overrides;
    EXPECT_EQ(Child<TBitBtn>(&dialog, "btnRetry")->text(), c.Retry) << c.Overrides;
  }
  // An override for a hidden button shows nothing; marks and results stay.
  TMessageDialog dialog;
  dialog.Prepare("", "", DialogButtons({B::Yes, B::No}), B::Yes, "Yes=Fine;Retry=Again");
  EXPECT_TRUE(Child(&dialog, "btnRetry")->isHidden());
  EXPECT_EQ(Child<TBitBtn>(&dialog, "btnOK")->ModalResult(), mrYes);
  EXPECT_TRUE(Child<TBitBtn>(&dialog, "btnOK")->Default());
}

TEST_F(MessageDialogTest, KeyboardPressesTheFocusedDefaultOrCancelButton) {
  struct TKey {
    Qt::Key Key;
    Qt::KeyboardModifiers Modifiers;
  };
  const auto plain = Qt::NoModifier;
  const struct {
    TDialogButtons Buttons;
    TDialogButton Default;
    std::vector<TKey> Keys;
    int Result;
  } cases[] = {
      {DialogButtons({B::OK}), B::OK, {{Qt::Key_Return, plain}}, mrOk},
      {DialogButtons({B::OK}), B::OK, {{Qt::Key_Enter, Qt::KeypadModifier}}, mrOk},
      {DialogButtons({B::OK}), B::OK, {{Qt::Key_Space, plain}}, mrOk},
      // No cancel mark: Esc does nothing, so the Enter after it decides.
      {DialogButtons({B::OK}), B::OK, {{Qt::Key_Escape, plain}, {Qt::Key_Return, plain}}, mrOk},
      {DialogButtons({B::Yes, B::No}), B::Yes, {{Qt::Key_Return, plain}}, mrYes},
      {DialogButtons({B::Yes, B::No}), B::Yes, {{Qt::Key_Escape, plain}}, mrNo},
      {DialogButtons({B::Yes, B::No, B::Cancel}), B::Yes, {{Qt::Key_Escape, plain}}, mrNo},
      {DialogButtons({B::OK, B::Cancel}), B::OK, {{Qt::Key_Escape, plain}}, mrCancel},
      // The focused button outranks the default mark.
      {DialogButtons({B::Yes, B::No}), B::No, {{Qt::Key_Return, plain}}, mrYes},
      {DialogButtons({B::Yes, B::No}),
       B::Yes,
       {{Qt::Key_Tab, plain}, {Qt::Key_Return, plain}},
       mrNo},
      {DialogButtons({B::Yes, B::No}),
       B::Yes,
       {{Qt::Key_Tab, plain}, {Qt::Key_Space, plain}},
       mrNo},
      {DialogButtons({B::Abort, B::Retry, B::Ignore}),
       B::Abort,
       {{Qt::Key_Escape, plain}, {Qt::Key_Return, plain}},
       mrRetry},
      {DialogButtons({B::Yes, B::No}), B::Yes, {{Qt::Key_N, Qt::AltModifier}}, mrNo},
      // The system's close command gives Cancel, with or without a cancel button.
      {DialogButtons({B::Yes, B::No}), B::Yes, {{Qt::Key_F4, Qt::AltModifier}}, mrCancel},
      {DialogButtons({B::OK}), B::OK, {{Qt::Key_F4, Qt::AltModifier}}, mrCancel},
  };
  for (const auto& c : cases) {
    QString firstFocus;
    OnModal([&](QWidget*) {
      firstFocus = FocusName();
      for (const TKey& key : c.Keys) Press(key.Key, key.Modifiers);
    });
    EXPECT_EQ(ShowMessageDialog("", "Question?", c.Buttons, c.Default, ""), c.Result)
        << "set " << c.Buttons << " default " << int(c.Default) << " first key " << c.Keys[0].Key;
    if (c.Buttons == DialogButtons({B::Yes, B::No})) {
      EXPECT_EQ(firstFocus, "btnOK");
    }
  }
}

TEST_F(MessageDialogTest, SystemCloseGivesCancelEvenWithoutButtons) {
  for (TDialogButtons buttons : {DialogButtons({B::Yes, B::No}), TDialogButtons(0)}) {
    OnModal([](QWidget* dialog) { dialog->close(); });
    EXPECT_EQ(ShowMessageDialog("", "Closing", buttons, B::Yes, ""), mrCancel);
  }
}

TEST_F(MessageDialogTest, OverriddenCaptionKeepsTheButtonsResult) {
  OnModal([](QWidget* dialog) {
    EXPECT_EQ(Child<TBitBtn>(dialog, "btnNo")->text(), "Keep");
    Child<TBitBtn>(dialog, "btnNo")->Click();
  });
  EXPECT_EQ(ShowMessageDialog("", "Q", DialogButtons({B::Yes, B::No}), B::Yes, "No=Keep"), mrNo);
}

}  // namespace
