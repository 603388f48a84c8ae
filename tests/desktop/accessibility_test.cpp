#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QStyle>
#include <QStyleFactory>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <memory>

#include "desktop/desktop_form.h"
#include "desktop/pie_chart.h"
#include "dialogs/account_dialog.h"
#include "dialogs/app_events.h"
#include "dialogs/error_report.h"
#include "dialogs/login_dialog.h"
#include "dialogs/message_dialog.h"
#include "dialogs/signup_dialog.h"
#include "gui_support.h"
#include "tests/system_texts.h"

namespace {

struct TNode {
  QAccessible::Role Role;
  QString Name;
};

// What a screen reader finds for a widget: its role and its name. Where the toolkit names a
// control through the label that labels it (a drop-down on Linux), that label's text.
TNode Read(QWidget* Widget) {
  QAccessibleInterface* node = QAccessible::queryAccessibleInterface(Widget);
  if (node == nullptr) return {QAccessible::NoRole, "<not accessible>"};
  QString name = node->text(QAccessible::Name);
  if (name.isEmpty()) {
    const auto labels = node->relations(QAccessible::Label);
    if (!labels.isEmpty()) name = labels.front().first->text(QAccessible::Name);
  }
  return {node->role(), name};
}

struct TExpected {
  const char* Window;
  const char* Control;  // empty: the window itself
  QAccessible::Role Role;
  const char* Name;
};

constexpr auto kEdit = QAccessible::EditableText;
constexpr auto kButton = QAccessible::PushButton;

const TExpected kTree[] = {
    {"LoginDialog", "", QAccessible::Dialog, "Login"},
    {"LoginDialog", "GroupBox1", QAccessible::Grouping, "New User?"},
    {"LoginDialog", "btnCreate", kButton, "Create Account"},
    {"LoginDialog", "GroupBox2", QAccessible::Grouping, "Already have an account?"},
    {"LoginDialog", "leLogin", kEdit, "Username:"},
    {"LoginDialog", "lePassword", kEdit, "Password:"},
    {"LoginDialog", "cbxPassword", QAccessible::CheckBox, "Remember my password on this computer"},
    {"LoginDialog", "btnOK", kButton, "OK"},
    {"LoginDialog", "btnCancel", kButton, "Cancel"},
    {"AccountDialog", "", QAccessible::Dialog, "New Account - Quillby"},
    {"AccountDialog", "GroupBox2", QAccessible::Grouping, "User Information"},
    {"AccountDialog", "leFullName", kEdit, "Full Name:"},
    {"AccountDialog", "leLogin", kEdit, "Username:"},
    {"AccountDialog", "lePassword", kEdit, "Password:"},
    {"AccountDialog", "leConfirm", kEdit, "Confirm Password:"},
    {"AccountDialog", "btnOK", kButton, "OK"},
    {"AccountDialog", "btnCancel", kButton, "Cancel"},
    {"MessageDialog", "", QAccessible::Dialog, "MessageDialog"},
    {"MessageDialog", "lblMessage", QAccessible::StaticText, "Is this read?"},
    {"MessageDialog", "btnOK", kButton, "Yes"},
    {"MessageDialog", "btnNo", kButton, "No"},
    {"SignupDialog", "", QAccessible::Dialog, "SignupDialog"},
    {"SignupDialog", "lblName", QAccessible::StaticText, "Name: Sam Signup"},
    {"SignupDialog", "lblPhone", QAccessible::StaticText, "Phone: 555 0100"},
    {"SignupDialog", "lblDebtAmount", QAccessible::StaticText, "Debt Amount:"},
    {"SignupDialog", "btnOK", kButton, "OK"},
    {"DesktopForm", "", QAccessible::Window, "Quillby Desktop"},
    {"DesktopForm", "Label4", QAccessible::Link, "Visit Us"},
    {"DesktopForm", "Label5", QAccessible::Link, "Join the community"},
    {"DesktopForm", "leRent", kEdit, "Monthly Mortgage or Rent:"},
    {"DesktopForm", "leCreditCard", kEdit, "Monthly Minimum Credit Card Payments:"},
    {"DesktopForm", "leCarLoan", kEdit, "Monthly Car Loan Payments:"},
    {"DesktopForm", "leOtherLoan", kEdit, "Other Loan Payments:"},
    {"DesktopForm", "leGrossSalary", kEdit, "Annual Gross Salary:"},
    {"DesktopForm", "leBonus", kEdit, "Bonus and Overtime:"},
    {"DesktopForm", "leOtherSrc", kEdit, "Income from other source:"},
    {"DesktopForm", "leAlimony", kEdit, "Alimony received:"},
    {"DesktopForm", "btnDebtCalc", kButton, "Calculate"},
    {"DesktopForm", "chtDebtRatio", QAccessible::Chart, "Debt load chart"},
    {"DesktopForm", "btnReview", kButton, "Review"},
    {"DesktopForm", "leFullName", kEdit, "Full Name:"},
    {"DesktopForm", "leEmail", kEdit, "Email Address:"},
    {"DesktopForm", "leStreetAddress", kEdit, "Street Address:"},
    {"DesktopForm", "leZipCode", kEdit, "Zip Code:"},
    {"DesktopForm", "lePhone", kEdit, "Best Phone:"},
    {"DesktopForm", "leBestTime", kEdit, "Best time to call:"},
    {"DesktopForm", "cboDebtAmount", QAccessible::ComboBox, "Debt Amount:"},
    {"DesktopForm", "btnFreeCounsel", kButton, "Submit"},
    {"DesktopForm", "leFromName", kEdit, "From Name:"},
    {"DesktopForm", "leFromEmail", kEdit, "From Email:"},
    {"DesktopForm", "leSendToName", kEdit, "Send To Name:"},
    {"DesktopForm", "leSendToEmail", kEdit, "Send to Email:"},
    {"DesktopForm", "leSubject", kEdit, "Subject:"},
    {"DesktopForm", "memComments", kEdit, "Comment:"},
    {"DesktopForm", "btnSendEmail", kButton, "Send Email"},
    {"DesktopForm", "btnReset", kButton, "Reset"},
    {"DesktopForm", "memHelpImprove", kEdit, "Feedback"},
    {"DesktopForm", "btnHelpImprove", kButton, "Submit"},
};

class AccessibilityTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FData = FStore.Open();
    TTempStore::SignIn(*FData);
  }

  // One of each window, as the program shows them.
  std::vector<std::unique_ptr<QWidget>> Windows() {
    std::vector<std::unique_ptr<QWidget>> windows;
    windows.push_back(std::make_unique<TLoginDialog>(*FData));
    windows.push_back(std::make_unique<TAccountDialog>(*FData));
    auto message = std::make_unique<TMessageDialog>();
    message->Prepare("", "Is this read?", DialogButtons({TDialogButton::Yes, TDialogButton::No}),
                     TDialogButton::Yes, "");
    windows.push_back(std::move(message));
    auto signup = std::make_unique<TSignupDialog>();
    signup->lblName->setText("Sam Signup");
    signup->lblPhone->setText("555 0100");
    signup->lblDebtAmount->clear();
    windows.push_back(std::move(signup));
    auto desktop = std::make_unique<TDesktopForm>(*FData);
    OpenEveryTab(*desktop);
    windows.push_back(std::move(desktop));
    return windows;
  }

  TTempStore FStore;
  std::unique_ptr<TQuillbyData> FData;
  TApplicationEvents FEvents{aevQuillbyException};
};

TEST_F(AccessibilityTest, EveryWindowAndControlHasItsRoleAndName) {
  for (const auto& window : Windows()) {
    const QString form = window->objectName();
    bool listed = false;
    for (const TExpected& e : kTree) {
      if (form != e.Window) continue;
      listed = true;
      QWidget* control = *e.Control ? window->findChild<QWidget*>(e.Control) : window.get();
      ASSERT_NE(control, nullptr) << e.Window << " " << e.Control;
      const TNode node = Read(control);
      EXPECT_EQ(node.Role, e.Role) << e.Window << " " << e.Control;
      EXPECT_EQ(node.Name, e.Name) << e.Window << " " << e.Control;
    }
    EXPECT_TRUE(listed) << form.toStdString();
    // Whatever the keyboard can reach has a name a screen reader can say.
    for (QWidget* control : window->findChildren<QWidget*>()) {
      // The page control and its tab bar are containers; their tabs are named by their captions.
      if (!(control->focusPolicy() & Qt::TabFocus) || qobject_cast<QTabBar*>(control) ||
          qobject_cast<QTabWidget*>(control)) {
        continue;
      }
      if (control->isHidden()) continue;
      EXPECT_FALSE(Read(control).Name.isEmpty())
          << form.toStdString() << " " << control->objectName().toStdString() << " "
          << control->metaObject()->className();
    }
  }
}

TEST_F(AccessibilityTest, EveryWindowShowsTheSystemsTexts) {
  for (const auto& window : Windows()) {
    EXPECT_EQ(systemtexts::TextMismatches(window.get()), QStringList())
        << window->objectName().toStdString();
  }
}

TEST_F(AccessibilityTest, PieDescriptionReadsTheLegendAfterEachCalculation) {
  TDesktopForm form(*FData);
  form.show();
  const struct {
    const char* Rent;
    const char* Description;
  } cases[] = {
      {"1800", "Income used to pay your debt 36 %\nIncome used for other purpose 64 %"},
      {"7500", "Income used to pay your debt 75 %\nIncome used for other purpose -25 %"},
  };
  form.leGrossSalary->setText("60000");
  for (const auto& c : cases) {
    form.leRent->setText(c.Rent);
    QTest::mouseClick(form.btnDebtCalc, Qt::LeftButton);
    QAccessibleInterface* pie = QAccessible::queryAccessibleInterface(form.chtDebtRatio);
    ASSERT_NE(pie, nullptr);
    EXPECT_EQ(pie->text(QAccessible::Description), c.Description);
    EXPECT_EQ(pie->text(QAccessible::Name), "Debt load chart");
    QTest::mouseClick(form.btnReview, Qt::LeftButton);
  }
}

TEST_F(AccessibilityTest, SendingTabsTabThroughTheirControlsInOrder) {
  TDesktopForm form(*FData);
  OpenEveryTab(form);
  ASSERT_TRUE(WaitFor([&] { return form.isActiveWindow(); }));
  // Filled, so that each tab's button is enabled and so reachable.
  for (QLineEdit* box : form.findChildren<QLineEdit*>()) box->setText("x");
  form.memHelpImprove->setPlainText("x");
  const struct {
    QWidget* Page;
    std::vector<QWidget*> Order;
  } tabs[] = {
      {form.tsFreeCounsel,
       {form.leFullName, form.leEmail, form.leStreetAddress, form.leZipCode, form.lePhone,
        form.leBestTime, form.cboDebtAmount, form.btnFreeCounsel}},
      {form.tsReferFriend,
       {form.leFromName, form.leFromEmail, form.leSendToName, form.leSendToEmail, form.leSubject,
        form.memComments, form.btnSendEmail, form.btnReset}},
      {form.tsHelpImprove, {form.memHelpImprove, form.btnHelpImprove}},
  };
  for (const auto& tab : tabs) {
    form.pgcDesktop->setCurrentWidget(tab.Page);
    tab.Order.front()->setFocus(Qt::TabFocusReason);
    for (size_t i = 1; i < tab.Order.size(); ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      EXPECT_EQ(QApplication::focusWidget(), tab.Order[i])
          << tab.Page->objectName().toStdString() << " step " << i;
    }
  }
}

TEST_F(AccessibilityTest, PasswordBoxesDrawStarsWhateverTheStyle) {
  const QString original = QApplication::style()->name();
  for (const QString& styleName : QStyleFactory::keys()) {
    QApplication::setStyle(styleName);
    {
      TLoginDialog login(*FData);
      TAccountDialog account(*FData);
      for (QLineEdit* box :
           {login.findChild<QLineEdit*>("lePassword"), account.findChild<QLineEdit*>("lePassword"),
            account.findChild<QLineEdit*>("leConfirm")}) {
        ASSERT_NE(box, nullptr);
        QTest::keyClicks(box, QString::fromUtf8("pa\xc3\x9f w"));
        EXPECT_EQ(box->text(), QString::fromUtf8("pa\xc3\x9f w"));
        EXPECT_EQ(box->displayText(), "*****") << styleName.toStdString();
        EXPECT_EQ(box->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, box), '*')
            << styleName.toStdString();
      }
    }
  }
  QApplication::setStyle(original);
}

}  // namespace
