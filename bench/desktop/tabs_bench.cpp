// For each sending tab, the time from the click to its confirmation on screen, beside the bare
// client conversation (TIdSMTP's submission, PostForm) against the same service stand-in in the
// same run. What the tab adds is the difference: its checks, building the message, the store
// write, the dialog.
//
// Usage: bench_tabs [REPETITIONS]   (default 30); offscreen, against a temporary store.

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "bench/summary.h"
#include "data/quillby_data.h"
#include "data/store_file.h"
#include "deployment.h"
#include "desktop/desktop_form.h"
#include "desktop/input_checks.h"
#include "dialogs/app_events.h"
#include "dialogs/error_report.h"
#include "dialogs/labeled_edit.h"
#include "net/http.h"
#include "net/smtp.h"

namespace {

// Notes when a dialog shows and closes it with OK from the event loop.
class TConfirmationWatch : public QObject {
 public:
  QElapsedTimer Clock;
  qint64 ShownAt = -1;
  QString Seen;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
      auto* dialog = qobject_cast<QDialog*>(watched);
      if (dialog && ShownAt < 0) {
        ShownAt = Clock.nsecsElapsed();
        Seen = dialog->objectName();
        QTimer::singleShot(0, dialog, [dialog] { dialog->accept(); });
      }
    }
    return false;
  }
};

double ClickToConfirmation(TConfirmationWatch& watch, QPushButton* button, const char* expected) {
  watch.ShownAt = -1;
  watch.Clock.start();
  button->click();
  if (watch.ShownAt < 0 || watch.Seen != expected) {
    std::fprintf(stderr, "no confirmation (%s)\n", watch.Seen.toLocal8Bit().constData());
    std::exit(1);
  }
  return static_cast<double>(watch.ShownAt) / 1e6;
}

double Timed(const std::function<void()>& work) {
  QElapsedTimer clock;
  clock.start();
  work();
  return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir scratch;
  qputenv("XDG_CONFIG_HOME", (scratch.path() + "/config").toLocal8Bit());
  QApplication app(argc, argv);
  QDir::setCurrent(scratch.path());

  QProcess service;
  service.setProcessChannelMode(QProcess::MergedChannels);
  service.start("/usr/bin/python3", {QUILLBY_SERVICE, "@" QUILLBY_SERVICE_ARGS, "--web-port", "0",
                                     "--mail-port", "0", "--data", scratch.path() + "/service"});
  QString said;
  const QRegularExpression ready("ready: web https?://[^ ]+:(\\d+)/ mail [^ ]+:(\\d+) ");
  QRegularExpressionMatch match;
  while (!(match = ready.match(said)).hasMatch()) {
    if (!service.waitForReadyRead(30000)) {
      std::fprintf(stderr, "the service stand-in did not start:\n%s\n", said.toLocal8Bit().data());
      return 1;
    }
    said += QString::fromUtf8(service.readAll());
  }
  const uint16_t webPort = match.captured(1).toUShort();
  const uint16_t mailPort = match.captured(2).toUShort();

  const std::string store = (scratch.path() + "/quillby.mdb").toStdString();
  CreateStoreFile(store);
  TQuillbyData data(store);
  data.CreateUser("Ann Example", "ann", "secret");
  data.VerifyLogin("ann", "secret");
  TApplicationEvents events{aevQuillbyException};
  // The desktop's own answer is asked once per click and costs next to nothing; a fixed one
  // keeps a machine that thinks itself offline from turning the run into prompts.
  SetOnlineProbe([] { return true; });

  TDesktopForm form(data);
  form.show();
  // The sending tabs are made when first shown.
  for (int tab = 0; tab < form.pgcDesktop->count(); ++tab) form.pgcDesktop->setCurrentIndex(tab);
  form.pgcDesktop->setCurrentWidget(form.tsDebtCalc);
  form.IdSMTP1.Host = form.IdHTTP1.Host = "127.0.0.1";
  form.IdSMTP1.Port = mailPort;
  form.IdHTTP1.Port = webPort;
  TConfirmationWatch watch;
  app.installEventFilter(&watch);

  std::vector<double> signup, postForm, referral, feedback, submission;
  for (int i = 0; i < repetitions; ++i) {
    const QString email = QString("ann%1@example.org").arg(i);
    form.leFullName->setText("Ann Example");
    form.leEmail->setText(email);
    form.leZipCode->setText("97035");
    form.lePhone->setText("555 0100");
    signup.push_back(ClickToConfirmation(watch, form.btnFreeCounsel, "SignupDialog"));

    net::TIdMultiPartFormDataStream body;
    for (const auto& [name, value] : std::vector<std::pair<std::string, std::string>>{
             {"FldUserType", "1"},
             {"FirstName", "Ann Example"},
             {"EmailAddress", QString("bare%1@example.org").arg(i).toStdString()},
             {"StreetAddress", ""},
             {"ZipCode", "97035"},
             {"HomePhone", "555 0100"},
             {"BestTime", ""},
             {"DebtAmount", ""},
             {"ActionButton", "quillbyapp"}}) {
      body.AddField(name, value);
    }
    postForm.push_back(Timed([&] {
      try {
        form.IdHTTP1.PostForm("/signup/dbsignup.html", body);
      } catch (const std::exception&) {
        // The redirect that means success fails the post.
      }
    }));

    form.leFromName->setText("Ann Example");
    form.leFromEmail->setText("ann@example.org");
    form.leSendToName->setText("Bob Friend");
    form.leSendToEmail->setText("bob@example.org");
    if (form.leSubject->text().isEmpty()) form.leSubject->setText("Hello");
    referral.push_back(ClickToConfirmation(watch, form.btnSendEmail, "MessageDialog"));

    form.memHelpImprove->setPlainText("Great tool.\nThank you.");
    feedback.push_back(ClickToConfirmation(watch, form.btnHelpImprove, "MessageDialog"));

    net::TIdMessage message;
    message.From.Name = "Ann Example";
    message.From.Address = "ann@example.org";
    auto& to = message.Recipients.Add();
    to.Name = "Bob Friend";
    to.Address = "bob@example.org";
    auto& bcc = message.BccList.Add();
    bcc.Name = deployment::kManagerName;
    bcc.Address = deployment::kManagerAddress;
    message.Subject = "Hello";
    message.ContentType = "text/html";
    message.Body = {"<html><head><title></title></head>", "<body>",
                    form.memComments->toPlainText().replace("\n", "<br>").toStdString(),
                    "</body></html>"};
    submission.push_back(Timed([&] {
      form.IdSMTP1.Connect();
      form.IdSMTP1.Authenticate();
      form.IdSMTP1.Send(message);
      form.IdSMTP1.Disconnect();
    }));
  }

  Print("Free Counseling, click to dialog", signup);
  Print("PostForm alone", postForm);
  Print("Refer a friend, click to notice", referral);
  Print("Help us improve, click to notice", feedback);
  Print("TIdSMTP submission alone", submission);
  const auto added = [](const std::vector<double>& tab, const std::vector<double>& bare) {
    return (Median(tab) / Median(bare) - 1) * 100;
  };
  std::printf(
      "added by the tab over the bare conversation (medians): signup %+.0f %%, referral "
      "%+.0f %%, feedback %+.0f %%\n",
      added(signup, postForm), added(referral, submission), added(feedback, submission));
  service.terminate();
  service.waitForFinished(10000);
  return 0;
}
