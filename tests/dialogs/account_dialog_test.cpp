#include "dialogs/account_dialog.h"

#include <QLineEdit>

#include "tests/dialogs/gui_fixture.h"

namespace {

class AccountDialogTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    Data().CreateUser("Alice Example", "alice", "secret");
  }
};

void Fill(QWidget* Dialog, const char* Name, const QString& Text) {
  auto* edit = Child<QLineEdit>(Dialog, Name);
  edit->setFocus();
  edit->clear();
  QTest::keyClicks(edit, Text);
}

TEST_F(AccountDialogTest, LayoutAndFirstState) {
  TAccountDialog dialog(Data());
  EXPECT_EQ(dialog.size(), QSize(316, 204));
  EXPECT_EQ(dialog.windowTitle(), "New Account - Quillby");
  EXPECT_EQ(Child<QLabel>(&dialog, "lblCaption")->text(), "New Account - Quillby Desktop");
  EXPECT_EQ(Child(&dialog, "Panel4")->geometry(), QRect(1, 171, 314, 32));
  EXPECT_EQ(Child(&dialog, "Panel3")->size(), QSize(314, 150));
  EXPECT_EQ(Child(&dialog, "btnOK")->geometry(), QRect(150, 3, 75, 25));
  EXPECT_EQ(Child(&dialog, "btnCancel")->geometry(), QRect(230, 3, 75, 25));
  EXPECT_FALSE(Child(&dialog, "btnOK")->isEnabled());
  EXPECT_EQ(Child(&dialog, "GroupBox2")->geometry(), QRect(8, 40, 298, 105));
  EXPECT_EQ(Child(&dialog, "leConfirm")->geometry(), QRect(152, 72, 137, 21));
  EXPECT_EQ(Child(&dialog, "leConfirmLabel")->geometry().bottom(), 72 - 2);
  EXPECT_EQ(Child<QLineEdit>(&dialog, "lePassword")->echoMode(), QLineEdit::Password);
  EXPECT_EQ(Child<QLineEdit>(&dialog, "leLogin")->maxLength(), 32767);
}

TEST_F(AccountDialogTest, OKIsEnabledExactlyWhenAllFourBoxesHoldText) {
  TAccountDialog dialog(Data());
  dialog.show();
  const char* boxes[] = {"leFullName", "leLogin", "lePassword", "leConfirm"};
  QWidget* ok = Child(&dialog, "btnOK");
  for (const char* box : boxes) {
    EXPECT_FALSE(ok->isEnabled()) << box;
    Fill(&dialog, box, "x");
  }
  EXPECT_TRUE(ok->isEnabled());
  for (const char* box : boxes) {
    Fill(&dialog, box, "");
    EXPECT_FALSE(ok->isEnabled()) << box;
    Fill(&dialog, box, " ");
    EXPECT_TRUE(ok->isEnabled()) << box;
  }
}

TEST_F(AccountDialogTest, ChecksRunInOrderAndLeaveTheFocusInTheNamedBox) {
  const struct {
    const char* FullName;
    const char* Login;
    const char* Password;
    const char* Confirm;
    const char* Message;  // nullptr: accepted
    const char* Focus;
  } cases[] = {
      {"Bob Builder", "bob", "Secret", "secret", "Passwords do not match.", "lePassword"},
      {"Bob Builder", "bob", "secret ", "secret", "Passwords do not match.", "lePassword"},
      {"alice example", "ALICE", "a", "b", "Passwords do not match.", "lePassword"},
      {"ALICE EXAMPLE", "ALICE", "pw", "pw", "The Full Name entered already exists.", "leFullName"},
      {"Bob Builder", "Alice", "pw", "pw", "The Username entered already exists.", "leLogin"},
      {"  ", " ", "pw", "pw", nullptr, nullptr},
  };
  for (const auto& c : cases) {
    TAccountDialog dialog(Data());
    TShownMessage shown;
    QString focusAfter;
    bool stillOpen = false;
    QString textsAfter;
    OnModal([&](QWidget* account) {
      Fill(account, "leFullName", c.FullName);
      Fill(account, "leLogin", c.Login);
      Fill(account, "lePassword", c.Password);
      Fill(account, "leConfirm", c.Confirm);
      if (c.Message == nullptr) {
        Press(Qt::Key_Return);
        return;
      }
      OnModal([&](QWidget* message) { AnswerMessage(message, shown); }, account);
      // Enter in a box presses OK.
      Press(Qt::Key_Return);
      stillOpen = account->isVisible();
      WaitFor([&] {
        return QApplication::focusWidget() != nullptr &&
               QApplication::focusWidget()->window() == account;
      });
      focusAfter = FocusName();
      for (const char* box : {"leFullName", "leLogin", "lePassword", "leConfirm"}) {
        textsAfter += Child<QLineEdit>(account, box)->text() + "|";
      }
      Press(Qt::Key_Escape);
    });
    const int result = dialog.ShowModal();
    if (c.Message == nullptr) {
      EXPECT_EQ(result, mrOk);
      EXPECT_EQ(dialog.FullName(), c.FullName);
      EXPECT_EQ(dialog.Login(), c.Login);
      EXPECT_EQ(dialog.Password(), c.Password);
      continue;
    }
    EXPECT_EQ(result, mrCancel) << c.Message;
    EXPECT_EQ(shown.Text, c.Message);
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(focusAfter, c.Focus) << c.Message;
    EXPECT_EQ(textsAfter, QString("%1|%2|%3|%4|").arg(c.FullName, c.Login, c.Password, c.Confirm));
  }
}

TEST_F(AccountDialogTest, TabCyclesTheBoxesThenTheButtons) {
  TAccountDialog dialog(Data());
  QStringList order;
  OnModal([&](QWidget* account) {
    Fill(account, "leFullName", "n");
    Fill(account, "leLogin", "l");
    Fill(account, "lePassword", "p");
    Fill(account, "leConfirm", "p");
    Child(account, "leFullName")->setFocus();
    order = TabCycle(6);
    Press(Qt::Key_Escape);
  });
  EXPECT_EQ(dialog.ShowModal(), mrCancel);
  EXPECT_EQ(order, QStringList({"leFullName", "leLogin", "lePassword", "leConfirm", "btnOK",
                                "btnCancel", "leFullName"}));
}

TEST_F(AccountDialogTest, FocusStartsInTheFullNameBox) {
  TAccountDialog dialog(Data());
  QString first;
  OnModal([&](QWidget*) {
    first = FocusName();
    Press(Qt::Key_Escape);
  });
  EXPECT_EQ(dialog.ShowModal(), mrCancel);
  EXPECT_EQ(first, "leFullName");
}

}  // namespace
