#include "dialogs/login_dialog.h"

#include <QCheckBox>
#include <QLineEdit>
#include <filesystem>
#include <fstream>

#include "data/md5.h"
#include "platform/registry.h"
#include "tests/dialogs/gui_fixture.h"

namespace {

using platform::TRegistry;

// Where a username's remembered password lives: \Software\Quillby\Logins\<username>.
platform::TKeyPath LoginKey(const std::string& User) {
  return {"Software", "Quillby", "Logins", User};
}

class LoginDialogTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    Data().CreateUser("Alice Example", "alice", "secret");
    Data().CreateUser("Bob Builder", "bob", "hammer");
  }

  // The remembered digest of a username, or "<none>" when it has no key.
  std::string Remembered(const std::string& User) {
    TRegistry registry;
    if (!registry.OpenKey(LoginKey(User), false)) return "<none>";
    return registry.ReadString("Password");
  }

  void Remember(const std::string& User, const std::string& Digest) {
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(LoginKey(User), true));
    registry.WriteString("Password", Digest);
  }
};

QLineEdit* Edit(QWidget* Dialog, const char* Name) { return Child<QLineEdit>(Dialog, Name); }
QCheckBox* Tick(QWidget* Dialog) { return Child<QCheckBox>(Dialog, "cbxPassword"); }

// The password box's text and the tick, as "text|1".
QString PasswordState(QWidget* Dialog) {
  return QString("%1|%2").arg(Edit(Dialog, "lePassword")->text()).arg(Tick(Dialog)->isChecked());
}

// Types into a box after giving it the focus, as a user clicking into it would.
void TypeInto(QWidget* Dialog, const char* Name, const QString& Text) {
  QLineEdit* edit = Edit(Dialog, Name);
  edit->setFocus(Qt::MouseFocusReason);
  edit->selectAll();
  if (Text.isEmpty()) {
    QTest::keyClick(edit, Qt::Key_Delete);
  } else {
    QTest::keyClicks(edit, Text);
  }
}

struct TSignIn {
  int Result = mrNone;
  QString PasswordState;  // as the username box was left
};

// Types the username, leaves its box with Tab, types the password and presses Enter.
TSignIn SignInAfterLeavingTheUsername(TQuillbyData& Data, const char* User, const char* Password) {
  TLoginDialog dialog(Data);
  TSignIn signIn;
  OnModal([&](QWidget* login) {
    TypeInto(login, "leLogin", User);
    Press(Qt::Key_Tab);
    signIn.PasswordState = PasswordState(login);
    TypeInto(login, "lePassword", Password);
    Press(Qt::Key_Return);
  });
  signIn.Result = dialog.ShowModal();
  return signIn;
}

TEST_F(LoginDialogTest, LayoutAndFirstState) {
  TLoginDialog dialog(Data());
  EXPECT_EQ(dialog.size(), QSize(284, 321));
  EXPECT_EQ(dialog.windowTitle(), "Login");
  EXPECT_EQ(Child<QLabel>(&dialog, "lblCaption")->text(), "Login - Quillby Desktop");
  EXPECT_EQ(Child(&dialog, "Panel3")->size(), QSize(282, 267));
  EXPECT_EQ(Child(&dialog, "btnOK")->geometry(), QRect(118, 3, 75, 25));
  EXPECT_EQ(Child(&dialog, "btnCancel")->geometry(), QRect(198, 3, 75, 25));
  EXPECT_FALSE(Child(&dialog, "btnOK")->isEnabled());
  EXPECT_EQ(Child(&dialog, "GroupBox1")->geometry(), QRect(12, 88, 260, 57));
  EXPECT_EQ(Child(&dialog, "btnCreate")->geometry(), QRect(46, 20, 167, 25));
  EXPECT_EQ(Child<TBitBtn>(&dialog, "btnCreate")->ModalResult(), mrNone);
  EXPECT_EQ(Child<TBitBtn>(&dialog, "btnCreate")->iconSize(), QSize(16, 16));
  EXPECT_EQ(Child(&dialog, "GroupBox2")->geometry(), QRect(12, 153, 261, 105));
  EXPECT_EQ(Child(&dialog, "leLogin")->geometry(), QRect(64, 24, 185, 21));
  EXPECT_EQ(Child(&dialog, "leLoginLabel")->geometry().right(), 64 - 4);
  EXPECT_EQ(Child(&dialog, "lePassword")->geometry(), QRect(64, 52, 105, 21));
  EXPECT_EQ(Edit(&dialog, "lePassword")->echoMode(), QLineEdit::Password);
  // Designed 225 wide; a wider fallback face may widen it to show its whole caption.
  const QRect tick = Child(&dialog, "cbxPassword")->geometry();
  EXPECT_EQ(tick.topLeft(), QPoint(16, 80));
  EXPECT_EQ(tick.height(), 17);
  EXPECT_GE(tick.width(), 225);
  EXPECT_GE(tick.width(), std::min(241, Child(&dialog, "cbxPassword")->sizeHint().width()));
  EXPECT_FALSE(Tick(&dialog)->isChecked());
}

TEST_F(LoginDialogTest, OKIsEnabledExactlyWhenBothBoxesHoldText) {
  TLoginDialog dialog(Data());
  dialog.show();
  QWidget* ok = Child(&dialog, "btnOK");
  Edit(&dialog, "leLogin")->setText("alice");
  EXPECT_FALSE(ok->isEnabled());
  Edit(&dialog, "lePassword")->setText("x");
  EXPECT_TRUE(ok->isEnabled());
  Edit(&dialog, "leLogin")->clear();
  EXPECT_FALSE(ok->isEnabled());
  Edit(&dialog, "leLogin")->setText("a");
  Edit(&dialog, "lePassword")->clear();
  EXPECT_FALSE(ok->isEnabled());
}

TEST_F(LoginDialogTest, TypedSignInWithoutRememberingLeavesTheRegistryAlone) {
  TLoginDialog dialog(Data());
  QString first;
  OnModal([&](QWidget* login) {
    first = FocusName();
    QTest::keyClicks(Edit(login, "leLogin"), "ALICE");
    Press(Qt::Key_Tab);
    QTest::keyClicks(Edit(login, "lePassword"), "secret");
    Press(Qt::Key_Return);
  });
  EXPECT_EQ(dialog.ShowModal(), mrOk);
  EXPECT_EQ(first, "leLogin");
  EXPECT_EQ(Data().CurrentUserFullName(), "Alice Example");
  EXPECT_EQ(Remembered("alice"), "<none>");
  EXPECT_FALSE(std::filesystem::exists(FFolder + "/config/Quillby/registry"));
}

TEST_F(LoginDialogTest, EnterOnTheCheckBoxPressesOKAndLeavesTheTickAlone) {
  TLoginDialog dialog(Data());
  OnModal([&](QWidget* login) {
    TypeInto(login, "leLogin", "bob");
    TypeInto(login, "lePassword", "hammer");
    Child(login, "cbxPassword")->setFocus();
    Press(Qt::Key_Return);
  });
  EXPECT_EQ(dialog.ShowModal(), mrOk);
  EXPECT_EQ(Data().CurrentUserFullName(), "Bob Builder");
  EXPECT_EQ(Remembered("bob"), "<none>");
}

TEST_F(LoginDialogTest, AFailedSignInKeepsEverythingAsTyped) {
  const struct {
    const char* Login;
    const char* Password;
    bool Tick;
  } cases[] = {{"alice", "wrong", true}, {"nobody", "secret", false}, {"alice", "SECRET", false}};
  for (const auto& c : cases) {
    TLoginDialog dialog(Data());
    TShownMessage shown;
    QString after;
    OnModal([&](QWidget* login) {
      TypeInto(login, "leLogin", c.Login);
      TypeInto(login, "lePassword", c.Password);
      Tick(login)->setChecked(c.Tick);
      OnModal([&](QWidget* message) { AnswerMessage(message, shown); }, login);
      Child<TBitBtn>(login, "btnOK")->Click();
      after = QString("%1|%2|%3|%4")
                  .arg(Edit(login, "leLogin")->text(), Edit(login, "lePassword")->text())
                  .arg(Tick(login)->isChecked())
                  .arg(login->isVisible());
      Press(Qt::Key_Escape);
    });
    EXPECT_EQ(dialog.ShowModal(), mrCancel);
    EXPECT_EQ(shown.Text, "Invalid Login Id or Password.");
    EXPECT_EQ(after, QString("%1|%2|%3|1").arg(c.Login, c.Password).arg(c.Tick));
    EXPECT_EQ(Remembered(c.Login), "<none>");
  }
}

TEST_F(LoginDialogTest, RememberingThenSigningInByTheStoredDigest) {
  {
    TLoginDialog dialog(Data());
    OnModal([&](QWidget* login) {
      TypeInto(login, "leLogin", "alice");
      TypeInto(login, "lePassword", "secret");
      Tick(login)->setChecked(true);
      Press(Qt::Key_Return);
    });
    ASSERT_EQ(dialog.ShowModal(), mrOk);
  }
  EXPECT_EQ(Remembered("alice"), MD5Hex("secret"));

  // Another letter case finds the same key; Tab fills the placeholder, ticks and moves to OK,
  // and the password box's text no longer matters.
  for (const char* typed : {"Alice", "alice"}) {
    TLoginDialog dialog(Data());
    QString state;
    OnModal([&](QWidget* login) {
      QTest::keyClicks(Edit(login, "leLogin"), typed);
      Press(Qt::Key_Tab);
      state = QString("%1|%2|%3")
                  .arg(Edit(login, "lePassword")->text())
                  .arg(Tick(login)->isChecked())
                  .arg(FocusName());
      if (QString(typed) == "alice") {
        TypeInto(login, "lePassword", "wrong");
        Child<TBitBtn>(login, "btnOK")->setFocus();
      }
      Press(Qt::Key_Return);
    });
    EXPECT_EQ(dialog.ShowModal(), mrOk) << typed;
    EXPECT_EQ(state, "********|1|btnOK") << typed;
    EXPECT_EQ(Data().CurrentUserFullName(), "Alice Example");
  }
  EXPECT_EQ(Remembered("alice"), MD5Hex("secret"));
}

TEST_F(LoginDialogTest, AStaleRememberedDigestFailsEvenWithTheRightPassword) {
  Remember("alice", MD5Hex("old password"));
  TLoginDialog dialog(Data());
  std::vector<QString> shown;
  OnModal([&](QWidget* login) {
    QTest::keyClicks(Edit(login, "leLogin"), "alice");
    Press(Qt::Key_Tab);
    for (const char* password : {"********", "secret"}) {
      TypeInto(login, "lePassword", password);
      TShownMessage message;
      OnModal([&](QWidget* box) { AnswerMessage(box, message); }, login);
      Child<TBitBtn>(login, "btnOK")->Click();
      shown.push_back(message.Text);
    }
    Press(Qt::Key_Escape);
  });
  EXPECT_EQ(dialog.ShowModal(), mrCancel);
  EXPECT_EQ(shown, std::vector<QString>(2, "Invalid Login Id or Password."));
}

TEST_F(LoginDialogTest, LeavingTheUsernameSwitchesBetweenRememberedAndTyped) {
  Remember("alice", MD5Hex("secret"));
  TLoginDialog dialog(Data());
  QStringList states;
  OnModal([&](QWidget* login) {
    auto state = [&] { states << PasswordState(login); };
    TypeInto(login, "leLogin", "alice");
    Press(Qt::Key_Tab);
    state();
    TypeInto(login, "leLogin", "bob");
    Press(Qt::Key_Tab);
    state();
    EXPECT_FALSE(Child(login, "btnOK")->isEnabled());
    // Leaving an empty username box changes nothing.
    TypeInto(login, "lePassword", "typed");
    Tick(login)->setChecked(true);
    TypeInto(login, "leLogin", "");
    Press(Qt::Key_Tab);
    state();
    Press(Qt::Key_Escape);
  });
  EXPECT_EQ(dialog.ShowModal(), mrCancel);
  EXPECT_EQ(states, QStringList({"********|1", "|0", "typed|1"}));
}

TEST_F(LoginDialogTest, SigningInUntickedForgetsAndTickedNeverRewrites) {
  Remember("alice", MD5Hex("secret"));
  {
    TLoginDialog dialog(Data());
    OnModal([&](QWidget* login) {
      TypeInto(login, "leLogin", "ALICE");
      Press(Qt::Key_Tab);
      Tick(login)->setChecked(false);
      Press(Qt::Key_Return);
    });
    EXPECT_EQ(dialog.ShowModal(), mrOk);
  }
  EXPECT_EQ(Remembered("alice"), "<none>");

  // The key appears after the username was left (another copy of the program wrote it): a ticked
  // sign-in finds it and keeps it as it is.
  TLoginDialog dialog(Data());
  OnModal([&](QWidget* login) {
    TypeInto(login, "leLogin", "bob");
    Press(Qt::Key_Tab);
    Remember("bob", "KEEP-ME");
    TypeInto(login, "lePassword", "hammer");
    Tick(login)->setChecked(true);
    Press(Qt::Key_Return);
  });
  EXPECT_EQ(dialog.ShowModal(), mrOk);
  EXPECT_EQ(Remembered("bob"), "KEEP-ME");
}

TEST_F(LoginDialogTest, AKeyWithoutADigestGetsOneAtTheNextTickedSignIn) {
  {
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(LoginKey("bob"), true));
  }
  const TSignIn signIn = SignInAfterLeavingTheUsername(Data(), "bob", "hammer");
  EXPECT_EQ(signIn.Result, mrOk);
  EXPECT_EQ(signIn.PasswordState, "********|1");
  EXPECT_EQ(Remembered("bob"), MD5Hex("hammer"));
}

TEST_F(LoginDialogTest, ADigestSignInWhoseKeyVanishedRemembersTheDigestNotThePlaceholder) {
  Remember("alice", MD5Hex("secret"));
  TLoginDialog dialog(Data());
  OnModal([&](QWidget* login) {
    TypeInto(login, "leLogin", "alice");
    Press(Qt::Key_Tab);
    TRegistry().DeleteKey(LoginKey("alice"));
    Press(Qt::Key_Return);
  });
  EXPECT_EQ(dialog.ShowModal(), mrOk);
  EXPECT_EQ(Remembered("alice"), MD5Hex("secret"));
  EXPECT_NE(Remembered("alice"), MD5Hex("********"));
}

TEST_F(LoginDialogTest, AUsernameWithABackslashIsItsOwnKey) {
  Data().CreateUser("Bob Other", "bob\\x", "other");
  {
    TLoginDialog dialog(Data());
    OnModal([&](QWidget* login) {
      TypeInto(login, "leLogin", "bob\\x");
      TypeInto(login, "lePassword", "other");
      Tick(login)->setChecked(true);
      Press(Qt::Key_Return);
    });
    ASSERT_EQ(dialog.ShowModal(), mrOk);
  }
  // "bob" is not made to look remembered, and forgetting "bob" leaves "bob\x" alone.
  const TSignIn signIn = SignInAfterLeavingTheUsername(Data(), "bob", "hammer");
  EXPECT_EQ(signIn.Result, mrOk);
  EXPECT_EQ(signIn.PasswordState, "|0");
  EXPECT_EQ(Remembered("bob\\x"), MD5Hex("other"));
}

TEST_F(LoginDialogTest, RegistryFailuresShowTheRegistrysMessages) {
  // A value of another type stops the exit handler.
  {
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(LoginKey("alice"), true));
    registry.WriteInteger("Password", 7);
  }
  TShownMessage typeMessage;
  QString afterType;
  {
    TLoginDialog dialog(Data());
    OnModal([&](QWidget* login) {
      TypeInto(login, "leLogin", "alice");
      OnModal([&](QWidget* message) { AnswerMessage(message, typeMessage); }, login);
      Press(Qt::Key_Tab);
      WaitFor([&] { return !typeMessage.Text.isEmpty(); });
      afterType = PasswordState(login);
      Press(Qt::Key_Escape);
    });
    EXPECT_EQ(dialog.ShowModal(), mrCancel);
  }
  EXPECT_EQ(typeMessage.Text, "Invalid data type for 'Password'");
  EXPECT_EQ(afterType, "|0");

  // Remembering cannot be written: the sign-in stays open; unticked it goes through.
  const std::string lock = FFolder + "/config/Quillby/registry.lock";
  std::filesystem::remove(lock);
  std::filesystem::create_directories(lock);
  TShownMessage writeMessage;
  bool openAfterWrite = false;
  TLoginDialog dialog(Data());
  OnModal([&](QWidget* login) {
    TypeInto(login, "leLogin", "bob");
    TypeInto(login, "lePassword", "hammer");
    Tick(login)->setChecked(true);
    OnModal([&](QWidget* message) { AnswerMessage(message, writeMessage); }, login);
    Child<TBitBtn>(login, "btnOK")->Click();
    openAfterWrite = login->isVisible();
    Tick(login)->setChecked(false);
    Child<TBitBtn>(login, "btnOK")->Click();
  });
  EXPECT_EQ(dialog.ShowModal(), mrOk);
  EXPECT_EQ(writeMessage.Text, "Failed to set data for 'Password'");
  EXPECT_TRUE(openAfterWrite);
}

TEST_F(LoginDialogTest, ADamagedSettingsFileIsReportedKeptAndDoesNotLockTheUserOut) {
  Remember("alice", MD5Hex("secret"));
  const std::string file = FFolder + "/config/Quillby/registry";
  {
    std::ofstream out(file, std::ios::binary | std::ios::app);
    out << "half a line";
  }
  std::ifstream in(file, std::ios::binary);
  const std::string before((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  TShownMessage shown;
  TLoginDialog dialog(Data());
  OnModal([&](QWidget* login) {
    TypeInto(login, "leLogin", "alice");
    OnModal([&](QWidget* message) { AnswerMessage(message, shown); }, login);
    Press(Qt::Key_Tab);
    WaitFor([&] { return !shown.Text.isEmpty(); });
    TypeInto(login, "lePassword", "secret");
    Press(Qt::Key_Return);
  });
  EXPECT_EQ(dialog.ShowModal(), mrOk);
  EXPECT_TRUE(shown.Text.contains("damaged")) << shown.Text.toStdString();
  EXPECT_TRUE(shown.Text.contains(QString::fromStdString(file))) << shown.Text.toStdString();
  std::ifstream after(file, std::ios::binary);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(after)), std::istreambuf_iterator<char>()),
            before);
}

TEST_F(LoginDialogTest, AStoreThatCannotBeReadIsReportedOverTheLoginDialog) {
  FData.reset();
  std::filesystem::remove(FFolder + "/quillby.mdb");
  {
    std::ofstream out(FFolder + "/quillby.mdb", std::ios::binary);
    out << "this is not a database file at all, just text that fills a page or two";
  }
  TShownMessage shown;
  bool openUnderneath = false;
  TLoginDialog dialog(Data(false));
  OnModal([&](QWidget* login) {
    TypeInto(login, "leLogin", "alice");
    TypeInto(login, "lePassword", "secret");
    OnModal(
        [&](QWidget* message) {
          openUnderneath = login->isVisible();
          AnswerMessage(message, shown);
        },
        login);
    Press(Qt::Key_Return);
    Press(Qt::Key_Escape);
  });
  EXPECT_EQ(dialog.ShowModal(), mrCancel);
  EXPECT_FALSE(shown.Text.isEmpty());
  EXPECT_NE(shown.Text, "Invalid Login Id or Password.");
  EXPECT_TRUE(shown.Text.contains("quillby.mdb")) << shown.Text.toStdString();
  EXPECT_EQ(shown.CursorWhileShown, crDefault);
  EXPECT_TRUE(openUnderneath);
}

TEST_F(LoginDialogTest, CreatingAnAccountShowsTheNoticeAndLeavesTheBoxesAlone) {
  TLoginDialog dialog(Data());
  TShownMessage notice;
  QString boxes;
  OnModal([&](QWidget* login) {
    TypeInto(login, "leLogin", "someone");
    OnModal(
        [&](QWidget* account) {
          TypeInto(account, "leFullName", "Carol New");
          TypeInto(account, "leLogin", "carol");
          TypeInto(account, "lePassword", "pw1");
          TypeInto(account, "leConfirm", "pw1");
          OnModal([&](QWidget* message) { AnswerMessage(message, notice); }, account);
          Press(Qt::Key_Return);
        },
        login);
    Child<TBitBtn>(login, "btnCreate")->Click();
    boxes = QString("%1|%2|%3")
                .arg(Edit(login, "leLogin")->text(), Edit(login, "lePassword")->text())
                .arg(login->isVisible());
    Press(Qt::Key_Escape);
  });
  EXPECT_EQ(dialog.ShowModal(), mrCancel);
  EXPECT_EQ(notice.Text,
            "User account successfully created.\nPlease login with the username and "
            "password.");
  EXPECT_EQ(boxes, "someone||1");
  EXPECT_TRUE(Data().VerifyLogin("carol", "pw1"));
  EXPECT_EQ(Data().CurrentUserFullName(), "Carol New");
}

TEST_F(LoginDialogTest, AFailedAccountCreationIsReportedAndTheLoginStaysOpen) {
  TLoginDialog dialog(Data());
  TShownMessage shown;
  bool open = false;
  OnModal([&](QWidget* login) {
    OnModal(
        [&](QWidget* account) {
          TypeInto(account, "leFullName", "Dave Long");
          // Longer than the store's login column.
          TypeInto(account, "leLogin", "a-username-longer-than-fifteen");
          TypeInto(account, "lePassword", "pw");
          TypeInto(account, "leConfirm", "pw");
          OnModal([&](QWidget* message) { AnswerMessage(message, shown); }, account);
          Press(Qt::Key_Return);
        },
        login);
    Child<TBitBtn>(login, "btnCreate")->Click();
    open = login->isVisible() && QApplication::activeModalWidget() == login;
    Press(Qt::Key_Escape);
  });
  EXPECT_EQ(dialog.ShowModal(), mrCancel);
  EXPECT_FALSE(shown.Text.isEmpty());
  EXPECT_NE(shown.Text,
            "User account successfully created.\nPlease login with the username "
            "and password.");
  EXPECT_TRUE(open);
  EXPECT_FALSE(Data().LoginExists("a-username-longer-than-fifteen"));
}

TEST_F(LoginDialogTest, TabCyclesCreateUsernamePasswordCheckBoxOKCancel) {
  TLoginDialog dialog(Data());
  QStringList order;
  OnModal([&](QWidget* login) {
    TypeInto(login, "lePassword", "x");
    TypeInto(login, "leLogin", "nobody");
    Child(login, "btnCreate")->setFocus();
    order = TabCycle(6);
    // Leaving "nobody" emptied the password box, so OK is off the cycle now.
    Press(Qt::Key_Escape);
  });
  EXPECT_EQ(dialog.ShowModal(), mrCancel);
  EXPECT_EQ(order, QStringList({"btnCreate", "leLogin", "lePassword", "cbxPassword", "btnCancel",
                                "btnCreate", "leLogin"}));
}

}  // namespace
