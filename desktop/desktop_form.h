#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QWidget>
#include <array>
#include <functional>
#include <string>

#include "data/store_file.h"
#include "net/http.h"
#include "net/logfile.h"
#include "net/smtp.h"

class TQuillbyData;
class TLabeledEdit;
class TPieChart;
class QStackedLayout;

// A link: a label that Tab reaches, that a click, Enter or the space bar opens, that shows
// when it has the focus, and that screen readers announce as a link.
class TLinkLabel : public QLabel {
  Q_OBJECT

 public:
  TLinkLabel(const QString& text, QWidget* parent);
  // Opens the link, as a click does.
  void Activate() { emit Clicked(); }

 signals:
  void Clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
};

// Tabs drawn as push buttons of a fixed width, their captions painted by the owner.
class TButtonTabBar : public QTabBar {
  Q_OBJECT

 public:
  using TDrawTab =
      std::function<void(QPainter& Canvas, int TabIndex, const QRect& Rect, bool Active)>;
  static constexpr int kTabWidth = 120;
  static constexpr int kTabHeight = 24;

  explicit TButtonTabBar(QWidget* parent = nullptr);
  void SetOnDrawTab(TDrawTab Handler) { FOnDrawTab = std::move(Handler); }

 protected:
  QSize tabSizeHint(int index) const override;
  QSize minimumTabSizeHint(int index) const override { return tabSizeHint(index); }
  void paintEvent(QPaintEvent* event) override;

 private:
  TDrawTab FOnDrawTab;
};

class TPageControl : public QTabWidget {
  Q_OBJECT

 public:
  explicit TPageControl(QWidget* parent = nullptr);
  TButtonTabBar* ButtonTabBar() const { return FTabBar; }

 private:
  TButtonTabBar* FTabBar;
};

// The main window: header, side bar with links, and the five tabs. It owns the network
// components the sending tabs use; building it fails when the connection log (LogFilename,
// where LocateConnectionLog says) cannot be opened.
class TDesktopForm : public QWidget {
  Q_OBJECT

 public:
  explicit TDesktopForm(TQuillbyData& Data, QWidget* parent = nullptr,
                        const std::string& LogFilename = kConnectionLogName);
  ~TDesktopForm() override;

  // Network components. The log is declared first so that it outlives both clients, which log
  // the closing of a connection still open when they go.
  net::TIdLogFile IdLogFile1;
  net::TIdSMTP IdSMTP1;
  net::TIdHTTP IdHTTP1;

  // Header and side bar.
  QWidget* pnlTop;
  QLabel* imgLogo;
  QLabel* lblTitle;
  QLabel* lblUserName;
  TLinkLabel* lblLogout;
  QStatusBar* sbDesktop;
  QWidget* pnlLeft;
  QLabel* imgSplash;
  QWidget* Panel3;
  QLabel* Image3;
  QLabel* Image2;
  QLabel* Image4;
  TLinkLabel* Label4;
  TLinkLabel* Label5;
  TPageControl* pgcDesktop;

  // Pages.
  QWidget* tsDebtCalc;
  QWidget* tsFreeCounsel;
  QWidget* tsReferFriend;
  QWidget* tsHelpImprove;
  QWidget* tsAbout;
  // The controls of every tab but the calculator are made when their tab is first shown and are
  // null until then.
  QWidget* pnlFreeCounsel = nullptr;
  QLabel* Label6 = nullptr;
  QWidget* pnlReferFriend = nullptr;
  QLabel* lblReferFriend = nullptr;
  QWidget* pnlHelpImprove = nullptr;
  QLabel* Label18 = nullptr;
  QWidget* pnlAbout = nullptr;
  QLabel* Label19 = nullptr;

  // Debt load calculator.
  QLabel* lblDebtCalc;
  QWidget* pnlDebtCalc1;
  QWidget* pnlDebtCalc2;
  QLineEdit* leRent;
  QLineEdit* leCreditCard;
  QLineEdit* leCarLoan;
  QLineEdit* leOtherLoan;
  QLineEdit* leGrossSalary;
  QLineEdit* leBonus;
  QLineEdit* leOtherSrc;
  QLineEdit* leAlimony;
  QPushButton* btnDebtCalc;
  QLabel* lblDebtRatioVal;
  QLabel* lblDebtRatioComment;
  TPieChart* chtDebtRatio;
  QPushButton* btnReview;

  // Free Counseling.
  QLabel* Label8 = nullptr;
  QLabel* Image1 = nullptr;
  QLabel* Label23 = nullptr;
  TLabeledEdit* leFullName = nullptr;
  TLabeledEdit* leEmail = nullptr;
  TLabeledEdit* leStreetAddress = nullptr;
  TLabeledEdit* leZipCode = nullptr;
  TLabeledEdit* lePhone = nullptr;
  TLabeledEdit* leBestTime = nullptr;
  QLabel* Label22 = nullptr;
  QComboBox* cboDebtAmount = nullptr;
  QPushButton* btnFreeCounsel = nullptr;

  // Refer a friend.
  QLabel* lblReferFriend1 = nullptr;
  TLabeledEdit* leFromName = nullptr;
  TLabeledEdit* leFromEmail = nullptr;
  TLabeledEdit* leSendToName = nullptr;
  TLabeledEdit* leSendToEmail = nullptr;
  TLabeledEdit* leSubject = nullptr;
  QLabel* Label21 = nullptr;
  QPlainTextEdit* memComments = nullptr;
  QPushButton* btnSendEmail = nullptr;
  QPushButton* btnReset = nullptr;

  // Help us improve.
  QLabel* Label24 = nullptr;
  QPlainTextEdit* memHelpImprove = nullptr;
  QPushButton* btnHelpImprove = nullptr;

  // Handlers, run under the guard.
  void FormCreate();
  void pgcDesktopDrawTab(QPainter& Canvas, int TabIndex, const QRect& Rect, bool Active);
  void Label4Click();
  void Label5Click();
  void lblLogoutClick();
  bool leRentKeyPress(QKeyEvent* Event);
  void leDebtRatioChange();
  void btnDebtCalcClick();
  void btnReviewClick();
  void leFreeCounselChange();
  void btnFreeCounselClick();
  void FillReferTemplate();
  void leReferFriendChange();
  void btnSendEmailClick();
  void btnResetClick();
  void memHelpImproveChange();
  void btnHelpImproveClick();

  // The web site's addresses the links open, and the site as the referral names it: scheme
  // and host (with a port other than the scheme's), no trailing slash.
  static QUrl HomePageUrl();
  static QUrl ForumsUrl();
  static QString SiteAddress();

  // Runs one network conversation of a handler; the handler goes on with its outcome.
  void Converse(const std::function<void()>& Conversation);

 signals:
  void Closed();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void BuildHeader();
  void BuildSideBar();
  void BuildPages();
  void BuildDebtCalc();
  void BuildFreeCounsel();
  void BuildReferFriend();
  void BuildHelpImprove();
  void BuildAbout();
  void ConfigureNetwork(const std::string& LogFilename);
  std::array<QLineEdit*, 8> AmountBoxes() const;
  // Connect, authenticate, send and disconnect, the failure's message extended by FollowUp.
  void SubmitMail(net::TIdMessage& Message, const std::string& FollowUp);

  TQuillbyData& FData;
  QStackedLayout* FDebtCalcPanels = nullptr;
  bool FCentred = false;
};
