#include "desktop/input_checks.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>
#include <stdexcept>

#include "desktop/modules.h"
#include "dialogs/app_events.h"
#include "dialogs/error_report.h"
#include "gui_support.h"
#include "platform/connectivity.h"

namespace {

TEST(InputChecksTest, AlphaNameTakesSpacesAndAsciiLettersOnly) {
  const struct {
    const char* Text;
    bool Accepted;
  } cases[] = {
      {"", true},           {"Ann Example", true}, {"  Ann   Bo  ", true}, {"ZOE", true},
      {"Ann-Marie", false}, {"O'Brien", false},    {"R2D2", false},        {"J. Doe", false},
      {"Ann\tBo", false},   {"Zo\xeb", false},     {"\x80", false},        {"@", false},
      {"[", false},         {"`", false},          {"{", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsAlphaName(c.Text), c.Accepted) << '"' << c.Text << '"';
}

TEST(InputChecksTest, EmailFollowsTheServiceSyntax) {
  const struct {
    const char* Local;
    const char* Domain;
    bool Accepted;
  } cases[] = {
      {"a", "b.c", true},    {"A_B-9", "X.Y", true}, {"_", "a.b", true},
      {"a.-b", "c.d", true}, {"-a-", "b.c", true},   {"", "b.c", false},
      {"a", "", false},      {"a", "b", false},      {".a", "b.c", false},
      {"a.", "b.c", false},  {"a..b", "c.d", false}, {"a+b", "c.d", false},
      {"a b", "c.d", false}, {"a", ".b.c", false},   {"a", "-b.c", false},
      {"a", "b.c.", false},  {"a", "b.c-", false},   {"a", "b..c", false},
      {"a", "b.-c", false},  {"a", "b-.c", false},   {"a", "b--c.d", false},
      {"a", "b@c.d", false}, {"\xe9", "b.c", false}, {"a", "b.\xe9", false},
  };
  for (const auto& c : cases) {
    const std::string text = std::string(c.Local) + "@" + c.Domain;
    EXPECT_EQ(IsValidEmail(text), c.Accepted) << '"' << text << '"';
  }
  for (const char* text : {"", "plain", " a@b.c", "a@b.c ", "@"}) {
    EXPECT_FALSE(IsValidEmail(text)) << '"' << text << '"';
  }
}

TEST(ConnectivityTest, DefaultRouteThroughAUsableInterfaceOnly) {
  const std::string head =
      "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";
  const std::string v4Default =
      head + "eth0\t00000000\t010200C0\t0003\t0\t0\t0\t00000000\t0\t0\t0\n";
  const std::string v4Local = head + "eth0\t000200C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n";
  const std::string v4Down = head + "eth0\t00000000\t010200C0\t0002\t0\t0\t0\t00000000\t0\t0\t0\n";
  const std::string zeros(32, '0');
  const std::string v6Default = zeros + " 00 " + zeros + " 00 fd000000000000000000000000000001 " +
                                "00000400 00000002 00000000 00000003     wlan0\n";
  const std::string v6Unreachable =
      zeros + " 00 " + zeros + " 00 " + zeros + " ffffffff 00000001 00000000 00200200       lo\n";
  const auto onlyEth0 = [](const std::string& name) { return name == "eth0"; };
  const auto anyButLo = [](const std::string& name) { return name != "lo"; };
  const auto none = [](const std::string&) { return false; };

  EXPECT_TRUE(platform::HasDefaultRoute(v4Default, "", onlyEth0));
  EXPECT_FALSE(platform::HasDefaultRoute(v4Default, "", none));  // interface down or loopback
  EXPECT_FALSE(platform::HasDefaultRoute(v4Local, "", onlyEth0));
  EXPECT_FALSE(platform::HasDefaultRoute(v4Down, "", onlyEth0));
  EXPECT_TRUE(platform::HasDefaultRoute(head, v6Default, anyButLo));
  EXPECT_FALSE(
      platform::HasDefaultRoute(head, v6Unreachable, [](const std::string&) { return true; }));
  EXPECT_FALSE(platform::HasDefaultRoute("", "", anyButLo));
  EXPECT_FALSE(platform::HasDefaultRoute("garbage\n\x01\x02", "x y z", anyButLo));
}

TEST(ModulesTest, AModuleIsSoughtBesideTheProgramThenWhereInstalled) {
  const std::vector<std::string> paths = ModulePaths("/opt/quillby/bin/quillby", "quillby-x.so");
  ASSERT_EQ(paths.size(), 2u);
  EXPECT_EQ(paths[0], "/opt/quillby/bin/quillby-x.so");
  EXPECT_EQ(paths[1].rfind("/opt/quillby/bin/../", 0), 0u) << paths[1];
  EXPECT_TRUE(paths[1].ends_with("/lib/quillby/modules/quillby-x.so")) << paths[1];
}

// The built modules, beside this program as beside the built quillby, are found and answer.
TEST(ModulesTest, TheModulesAreFoundAndTheReachabilityModuleAnswers) {
  using TReachability = int (*)();
  const auto reachability =
      reinterpret_cast<TReachability>(ModuleFunction("quillby-online.so", "QuillbyReachability"));
  ASSERT_NE(reachability, nullptr);
  const int answer = reachability();
  EXPECT_TRUE(answer == -1 || answer == 0 || answer == 1) << answer;
  EXPECT_NE(ModuleFunction("quillby-print.so", "QuillbyShowPrintPreview"), nullptr);
  EXPECT_EQ(ModuleFunction("quillby-print.so", "NoSuchFunction"), nullptr);
  EXPECT_EQ(ModuleFunction("quillby-none.so", "QuillbyReachability"), nullptr);
}

class CheckOnlineTest : public ::testing::Test {
 protected:
  void TearDown() override { SetOnlineProbe(nullptr); }
  TApplicationEvents FEvents{aevQuillbyException};
};

TEST_F(CheckOnlineTest, OnlineShowsNothing) {
  SetOnlineProbe([] { return true; });
  TMessageCatcher catcher;
  EXPECT_TRUE(CheckOnline("never shown"));
  QApplication::processEvents();
  EXPECT_TRUE(catcher.Messages.isEmpty());
}

TEST_F(CheckOnlineTest, AProbeThatFailsCountsAsOffline) {
  SetOnlineProbe([]() -> bool { throw std::runtime_error("no answer"); });
  EXPECT_FALSE(IsOnline());
}

TEST_F(CheckOnlineTest, OfflineAsksAndOnNoShowsTheFollowUpOnYesFaxesInstead) {
  SetOnlineProbe([] { return false; });
  for (const char* answer : {"btnOK", "btnNo"}) {
    QStringList shown;
    int faxes = 0;
    TModalAnswerer answerer([&](QWidget* dialog) {
      shown << MessageOf(dialog);
      const char* button = shown.size() == 1 ? answer : "btnOK";
      QTimer::singleShot(
          0, dialog, [dialog, button] { dialog->findChild<QAbstractButton*>(button)->click(); });
    });
    EXPECT_FALSE(CheckOnline("Please come back later.", [&] { ++faxes; }));
    EXPECT_EQ(faxes, QString(answer) == "btnOK" ? 1 : 0) << answer;  // Yes is in OK's place
    QStringList expected = {
        "An Internet connection was not detected.\r\n\r\nWould you like to print and send a fax to "
        "us "
        "instead?"};
    if (QString(answer) == "btnNo") expected << "Please come back later.";
    EXPECT_EQ(shown, expected) << answer;
  }
}

}  // namespace
