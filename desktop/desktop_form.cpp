#include "desktop/desktop_form.h"

#include <QAbstractEventDispatcher>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QStackedLayout>
#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>
#include <QUrl>
#include <QVBoxLayout>
#include <atomic>
#include <exception>
#include <memory>
#include <string_view>
#include <thread>

#include "data/quillby_data.h"
#include "deployment.h"
#include "desktop/accessibility.h"
#include "desktop/artwork.h"
#include "desktop/debt_calc.h"
#include "desktop/look.h"
#include "desktop/page.h"
#include "desktop/pie_chart.h"
#include "dialogs/ansi.h"
#include "dialogs/app_events.h"
#include "platform/exception.h"
#include "sending/requests.h"

namespace {

constexpr int kClientWidth = 772;
constexpr int kClientHeight = 553;
constexpr int kHeaderHeight = 87;
constexpr int kStatusHeight = 19;
constexpr int kSideWidth = 153;

QUrl SiteUrl(const QString& path) {
  QUrl url;
  url.setScheme(QString::fromLatin1(deployment::kWebScheme));
  url.setHost(QString::fromLatin1(deployment::kWebHost));
  const int standard = url.scheme() == QLatin1String("https") ? 443 : 80;
  if (deployment::kWebPort != standard) url.setPort(deployment::kWebPort);
  url.setPath(path);
  return url;
}

}  // namespace

using namespace page;

TLinkLabel::TLinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
  InstallDesktopAccessibility();
  setFocusPolicy(Qt::StrongFocus);
}

void TLinkLabel::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
    case Qt::Key_Select:
      if ((event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        event->accept();
        emit Clicked();
        return;
      }
      break;
    default:
      break;
  }
  QLabel::keyPressEvent(event);
}

void TLinkLabel::paintEvent(QPaintEvent* event) {
  QLabel::paintEvent(event);
  if (!hasFocus()) return;
  QPainter painter(this);
  QStyleOptionFocusRect focus;
  focus.initFrom(this);
  focus.backgroundColor = palette().color(QPalette::Window);
  style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    emit Clicked();
  }
}

TButtonTabBar::TButtonTabBar(QWidget* parent) : QTabBar(parent) {
  setExpanding(false);
  setUsesScrollButtons(false);
  setDrawBase(false);
}

QSize TButtonTabBar::tabSizeHint(int) const { return QSize(kTabWidth, kTabHeight); }

void TButtonTabBar::paintEvent(QPaintEvent*) {
  GuardPaint(this, [this] {
    QPainter painter(this);
    for (int i = 0; i < count(); ++i) {
      const QRect place = tabRect(i).adjusted(1, 1, -1, -1);
      const bool active = i == currentIndex();
      QStyleOptionButton button;
      button.initFrom(this);
      button.rect = place;
      button.state |= active ? (QStyle::State_Sunken | QStyle::State_On) : QStyle::State_Raised;
      style()->drawControl(QStyle::CE_PushButtonBevel, &button, &painter, this);
      if (FOnDrawTab) {
        painter.save();
        FOnDrawTab(painter, i, place.adjusted(3, 3, -3, -3), active);
        painter.restore();
      }
    }
  });
}

TPageControl::TPageControl(QWidget* parent) : QTabWidget(parent), FTabBar(new TButtonTabBar) {
  setTabBar(FTabBar);
  setFont(look::SansFont(11, true));
}

TDesktopForm::TDesktopForm(TQuillbyData& Data, QWidget* parent, const std::string& LogFilename)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      FData(Data) {
  InstallDesktopAccessibility();
  setObjectName("DesktopForm");
  setWindowTitle("Quillby Desktop");
  setFixedSize(kClientWidth, kClientHeight);
  setFont(look::SansFont());
  Paint(this, look::kMoneyGreen);

  BuildHeader();
  BuildSideBar();
  BuildPages();

  sbDesktop = new QStatusBar(this);
  sbDesktop->setObjectName("sbDesktop");
  sbDesktop->setSizeGripEnabled(false);
  sbDesktop->setGeometry(0, kClientHeight - kStatusHeight, kClientWidth, kStatusHeight);

  leRent->setFocus();
  // Outside the guard: a log that cannot be opened fails the window's construction.
  ConfigureNetwork(LogFilename);
  Guard(this, [this] { FormCreate(); });
}

// Clients first, then the log, as their declaration order has it.
TDesktopForm::~TDesktopForm() = default;

void TDesktopForm::ConfigureNetwork(const std::string& LogFilename) {
  IdLogFile1.Filename = LogFilename;
  IdLogFile1.LogTime = true;
  IdLogFile1.ReplaceCRLF = true;

  IdSMTP1.Host = deployment::kMailHost;
  IdSMTP1.Port = static_cast<uint16_t>(deployment::kMailPort);
  IdSMTP1.HeloName = "Quillby";
  IdSMTP1.UseEhlo = true;
  IdSMTP1.AuthenticationType = net::atLogin;
  IdSMTP1.Username = deployment::kMailAccount;
  IdSMTP1.Password = deployment::kMailPassword;
  IdSMTP1.MailAgent = "Quillby Desktop";
  IdSMTP1.Intercept = &IdLogFile1;
  const std::string_view security = deployment::kMailSecurity;
  IdSMTP1.Security = security == "starttls" ? net::msStartTLS
                     : security == "tls"    ? net::msImplicitTLS
                                            : net::msNone;
  IdSMTP1.TLSCAFile = deployment::kTlsCaFile;

  IdHTTP1.Host = deployment::kWebHost;
  IdHTTP1.Port = static_cast<uint16_t>(deployment::kWebPort);
  IdHTTP1.Intercept = &IdLogFile1;
  IdHTTP1.UseTLS = std::string_view(deployment::kWebScheme) == "https";
  IdHTTP1.TLSCAFile = deployment::kTlsCaFile;

  IdLogFile1.SetActive(true);
}

// The conversation runs on a thread of its own while this thread goes on painting the windows.
// The clients and the log it uses are plain C++ that nothing on this thread touches until the
// thread has been joined, so the flag below is the only hand-over and needs no lock. Nothing
// else reaches the windows meanwhile (TConversationHold), the native input queue is left unread
// and timers wait; socket notifiers may still fire (the GLib dispatcher ignores the flag that
// would leave them out), and the program has none of its own. The loop is a plain poll of the
// flag, which no quit() can end early.
void TDesktopForm::Converse(const std::function<void()>& Conversation) {
  const TConversationHold hold;
  std::atomic<bool> done{false};
  std::exception_ptr failure;
  QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
  {
    // Joined on every way out, also when something on this thread throws while it waits.
    const std::jthread worker([&] {
      try {
        Conversation();
      } catch (...) {
        failure = std::current_exception();
      }
      done.store(true, std::memory_order_release);
      if (dispatcher) dispatcher->wakeUp();
    });
    while (!done.load(std::memory_order_acquire)) {
      QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                      QEventLoop::X11ExcludeTimers | QEventLoop::WaitForMoreEvents);
    }
  }
  if (failure) std::rethrow_exception(failure);
}

void TDesktopForm::SubmitMail(net::TIdMessage& Message, const std::string& FollowUp) {
  try {
    Converse([&] { SubmitMessage(IdSMTP1, Message); });
  } catch (Exception& failure) {
    std::string message = failure.Message();
    if (message.size() < 2 || message.compare(message.size() - 2, 2, "\r\n") != 0) {
      message += "\r\n";
    }
    failure.SetMessage(message + FollowUp);
    throw;
  }
}

void TDesktopForm::BuildHeader() {
  pnlTop = new QWidget(this);
  pnlTop->setObjectName("pnlTop");
  pnlTop->setGeometry(0, 0, kClientWidth, kHeaderHeight);
  Paint(pnlTop, Qt::white);

  imgLogo = MakePicture(pnlTop, "imgLogo", QRect(0, 0, 117, 87), artwork::Logo(), false);
  lblTitle = MakeLabel(pnlTop, "lblTitle", "Marrowvale Desktop", 264, 24,
                       look::ArialFont(24, true, true), look::kTitleOrange);
  lblUserName = MakeLabel(pnlTop, "lblUserName", "Welcome", 152, 66, look::SansFont(11, true),
                          look::kSeaGreen);

  QFont underlined = look::SansFont();
  underlined.setUnderline(true);
  lblLogout =
      MakeLabel<TLinkLabel>(pnlTop, "lblLogout", "Logout", 0, 68, underlined, QColor(0, 128, 0));
  lblLogout->setAlignment(Qt::AlignRight | Qt::AlignTop);
  lblLogout->move(kClientWidth - 12 - lblLogout->width(), 68);
  lblLogout->setCursor(Qt::PointingHandCursor);
  lblLogout->hide();
  GuardedConnect(lblLogout, &TLinkLabel::Clicked, this, [this] { lblLogoutClick(); });
}

void TDesktopForm::BuildSideBar() {
  pnlLeft = new QWidget(this);
  pnlLeft->setObjectName("pnlLeft");
  const int sideHeight = kClientHeight - kHeaderHeight - kStatusHeight;
  pnlLeft->setGeometry(0, kHeaderHeight, kSideWidth, sideHeight);
  Paint(pnlLeft, Qt::white);

  imgSplash =
      MakePicture(pnlLeft, "imgSplash", QRect(0, 0, kSideWidth, 205), artwork::SideBanner(), false);

  Panel3 = new QWidget(pnlLeft);
  Panel3->setObjectName("Panel3");
  Panel3->setGeometry(0, sideHeight - 242, kSideWidth, 242);
  Paint(Panel3, Qt::white);
  Image3 = MakePicture(Panel3, "Image3", QRect(4, 17, 144, 53), artwork::CommunityStrip(), true);
  Image2 = MakePicture(Panel3, "Image2", QRect(0, 96, 53, 82), artwork::Quill(), false);
  Image4 = MakePicture(Panel3, "Image4", QRect(56, 97, 97, 72), artwork::House(), true);

  QFont link = look::SansFont();
  link.setUnderline(true);
  Label4 = MakeLabel<TLinkLabel>(Panel3, "Label4", "Visit Us", 45, 192, link, look::kSeaGreen);
  Label5 =
      MakeLabel<TLinkLabel>(Panel3, "Label5", "Join the community", 21, 210, link, look::kSeaGreen);
  for (TLinkLabel* label : {Label4, Label5}) label->setCursor(Qt::PointingHandCursor);
  GuardedConnect(Label4, &TLinkLabel::Clicked, this, [this] { Label4Click(); });
  GuardedConnect(Label5, &TLinkLabel::Clicked, this, [this] { Label5Click(); });
}

void TDesktopForm::BuildPages() {
  pgcDesktop = new TPageControl(this);
  pgcDesktop->setObjectName("pgcDesktop");
  pgcDesktop->setGeometry(kSideWidth, kHeaderHeight, 619, 447);
  pgcDesktop->ButtonTabBar()->SetOnDrawTab(
      [this](QPainter& Canvas, int TabIndex, const QRect& Rect, bool Active) {
        pgcDesktopDrawTab(Canvas, TabIndex, Rect, Active);
      });

  auto addPage = [this](const char* name, const char* caption) {
    auto* page = new QWidget;
    page->setObjectName(name);
    page->setFont(look::SansFont());
    Paint(page, look::kMoneyGreen);
    pgcDesktop->addTab(page, caption);
    return page;
  };
  tsDebtCalc = addPage("tsDebtCalc", "Debt Load Calc");
  tsFreeCounsel = addPage("tsFreeCounsel", "Free Counseling");
  tsReferFriend = addPage("tsReferFriend", "Refer a friend");
  tsHelpImprove = addPage("tsHelpImprove", "Help us improve");
  tsAbout = addPage("tsAbout", "About Quillby");

  BuildDebtCalc();
  // The other tabs are made when first shown: a session that never opens one never makes its
  // controls, loads its faces or runs the toolkit's code for them.
  BuildOnFirstShow(tsFreeCounsel, [this] { Guard(this, [this] { BuildFreeCounsel(); }); });
  BuildOnFirstShow(tsReferFriend, [this] {
    Guard(this, [this] {
      BuildReferFriend();
      FillReferTemplate();
    });
  });
  BuildOnFirstShow(tsHelpImprove, [this] { Guard(this, [this] { BuildHelpImprove(); }); });
  BuildOnFirstShow(tsAbout, [this] { Guard(this, [this] { BuildAbout(); }); });
  pgcDesktop->setCurrentWidget(tsDebtCalc);
}

void TDesktopForm::FormCreate() {
  lblUserName->setText(QStringLiteral("Welcome ") + FromAnsi(FData.CurrentUserFullName()));
  lblUserName->adjustSize();

  TDebtFigures figures;
  if (FData.LoadDebtCalc(0, figures)) {
    const Currency amounts[] = {figures.Rent,      figures.CrCard,   figures.CarLoan,
                                figures.OtherLoan, figures.GrossSal, figures.Bonus,
                                figures.OtherSrc,  figures.Alimony};
    const auto boxes = AmountBoxes();
    for (size_t i = 0; i < boxes.size(); ++i) boxes[i]->setText(debtcalc::FormatAmount(amounts[i]));
  }
}

void TDesktopForm::pgcDesktopDrawTab(QPainter& Canvas, int TabIndex, const QRect& Rect, bool) {
  Canvas.setFont(pgcDesktop->font());
  Canvas.setPen(palette().color(QPalette::WindowText));
  Canvas.fillRect(Rect, look::kMoneyGreen);
  Canvas.drawText(Rect, Qt::AlignCenter | Qt::TextSingleLine, pgcDesktop->tabText(TabIndex));
}

QUrl TDesktopForm::HomePageUrl() { return SiteUrl(QString()); }
QUrl TDesktopForm::ForumsUrl() { return SiteUrl("/forums"); }
QString TDesktopForm::SiteAddress() { return SiteUrl(QString()).toString(); }

void TDesktopForm::Label4Click() { QDesktopServices::openUrl(HomePageUrl()); }
void TDesktopForm::Label5Click() { QDesktopServices::openUrl(ForumsUrl()); }

void TDesktopForm::lblLogoutClick() {
  FData.Close();
  close();
}

bool TDesktopForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const auto boxes = AmountBoxes();
    if (std::find(boxes.begin(), boxes.end(), watched) != boxes.end()) {
      bool discard = false;
      Guard(this, [&] { discard = leRentKeyPress(static_cast<QKeyEvent*>(event)); });
      return discard;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TDesktopForm::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  if (event->isAccepted()) emit Closed();
}

void TDesktopForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!FCentred) {
    FCentred = true;
    if (const QScreen* screen = this->screen()) {
      move(screen->availableGeometry().center() - rect().center());
    }
  }
}
