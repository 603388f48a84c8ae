#include "platform/registry.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "tests/environment.h"

namespace fs = std::filesystem;
using platform::ERegistryException;
using platform::TKeyPath;
using platform::TRegistry;

namespace {

TKeyPath Login(const std::string& user) { return {"Software", "Quillby", "Logins", user}; }

// The message a write of a password ends in; empty when it was done.
std::string WriteFailure(TRegistry& registry) {
  try {
    registry.WriteString("Password", "F");
  } catch (const ERegistryException& e) {
    return e.Message();
  }
  return "";
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Every test runs against its own settings folder, never the user's.
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "quillby-registry-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    FFolder = pattern;
    FConfigHome.emplace("XDG_CONFIG_HOME", FFolder + "/config");
    platform::SetLocaleProvider([] { return std::string("en_US"); });
  }
  void TearDown() override {
    platform::SetLocaleProvider(nullptr);
    FConfigHome.reset();
    std::error_code ignored;
    fs::remove_all(FFolder, ignored);
  }

  std::string File() const { return FFolder + "/config/Quillby/registry"; }

  void Remember(const std::string& user, const std::string& digest) {
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(Login(user), true)) << user;
    registry.WriteString("Password", digest);
  }

  std::string Remembered(const std::string& user) {
    TRegistry registry;
    if (!registry.OpenKey(Login(user), false)) return "<none>";
    return registry.ReadString("Password");
  }

  std::string FFolder;
  std::optional<TEnvironmentOverride> FConfigHome;
};

TEST_F(RegistryTest, FileLivesInTheConfigFolderPrivateToTheUser) {
  EXPECT_EQ(platform::DefaultRegistryFile(), File());
  Remember("alice", "ABC");
  struct stat st {};
  ASSERT_EQ(stat(File().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_EQ(stat((FFolder + "/config/Quillby").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0077, 0u);
  EXPECT_EQ(Remembered("alice"), "ABC");
}

TEST_F(RegistryTest, DefaultFileFallsBackToHomeConfig) {
  const char* home = getenv("HOME");
  const std::string saved = home != nullptr ? home : "";
  setenv("HOME", FFolder.c_str(), 1);
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(platform::DefaultRegistryFile(), FFolder + "/.config/Quillby/registry");
  setenv("XDG_CONFIG_HOME", "relative/path", 1);
  EXPECT_EQ(platform::DefaultRegistryFile(), FFolder + "/.config/Quillby/registry");
  setenv("HOME", saved.c_str(), 1);
}

TEST_F(RegistryTest, OpenWithoutCreateLeavesNoTrace) {
  TRegistry registry;
  EXPECT_FALSE(registry.OpenKey(Login("alice"), false));
  EXPECT_FALSE(fs::exists(File()));
  EXPECT_FALSE(registry.KeyExists(Login("alice")));
}

TEST_F(RegistryTest, KeyNamesCompareWithoutRegardToCase) {
  Remember("Alice", "D1");
  // "\xC4rger" and "\xE4rger" are Ärger and ärger in code page 1252.
  Remember("\xC4rger", "D2");
  TRegistry registry;
  EXPECT_TRUE(registry.OpenKey({"SOFTWARE", "quillby", "LOGINS", "aLiCe"}, false));
  EXPECT_EQ(registry.ReadString("password"), "D1");
  EXPECT_EQ(Remembered("\xE4RGER"), "D2");
  // Opening with create in another case finds the key instead of adding a second one.
  Remember("ALICE", "D3");
  EXPECT_EQ(Remembered("alice"), "D3");
  EXPECT_EQ(platform::SplitKeyPath("\\Software\\Quillby\\Logins\\"),
            (TKeyPath{"Software", "Quillby", "Logins"}));
}

TEST_F(RegistryTest, UsernamesAreOnlyEverKeyNames) {
  const std::string users[] = {
      "bob",
      "bob\\x",
      "..",
      "../../../etc/passwd",
      "/",
      "\\",
      "a\"quoted\"b",
      "%41",
      "=",
      "two words",
      "line\nfeed",
      "\xC4rger",
      "key x=1 y",
      "Bob\\..\\alice",
  };
  for (std::size_t i = 0; i < std::size(users); ++i) {
    Remember(users[i], "DIGEST" + std::to_string(i));
  }
  for (std::size_t i = 0; i < std::size(users); ++i) {
    EXPECT_EQ(Remembered(users[i]), "DIGEST" + std::to_string(i)) << users[i];
  }
  // Nothing but the one file and its lock was made, anywhere in the settings folder.
  std::size_t entries = 0;
  for (const auto& entry : fs::recursive_directory_iterator(FFolder)) {
    ++entries;
    EXPECT_TRUE(entry.path() == File() || entry.path() == File() + ".lock" ||
                entry.path() == FFolder + "/config" || entry.path() == FFolder + "/config/Quillby")
        << entry.path();
  }
  EXPECT_EQ(entries, 4u);

  // Forgetting "bob" leaves "bob\x" alone: a backslash in a username is part of the name, not a
  // subkey of another user's key.
  TRegistry registry;
  EXPECT_TRUE(registry.DeleteKey(Login("bob")));
  EXPECT_EQ(Remembered("bob"), "<none>");
  EXPECT_EQ(Remembered("bob\\x"), "DIGEST1");
  EXPECT_EQ(Remembered("Bob\\..\\alice"), "DIGEST13");
  EXPECT_EQ(Remembered(".."), "DIGEST2");
}

TEST_F(RegistryTest, DeleteTakesSubkeysAndLeavesSiblings) {
  TRegistry registry;
  ASSERT_TRUE(registry.OpenKey({"Software", "Quillby", "Logins", "carol", "sub", "deeper"}, true));
  registry.WriteString("Password", "X");
  Remember("carl", "C");
  Remember("carol2", "C2");
  EXPECT_TRUE(registry.KeyExists(Login("carol")));
  EXPECT_TRUE(registry.DeleteKey(Login("CAROL")));
  EXPECT_FALSE(registry.KeyExists(Login("carol")));
  EXPECT_FALSE(registry.KeyExists({"Software", "Quillby", "Logins", "carol", "sub"}));
  EXPECT_EQ(Remembered("carl"), "C");
  EXPECT_EQ(Remembered("carol2"), "C2");
  EXPECT_FALSE(registry.DeleteKey(Login("carol")));
  EXPECT_FALSE(registry.OpenKey(Login(""), true));
}

TEST_F(RegistryTest, MissingValueReadsEmptyAndOtherTypesAreRefused) {
  TRegistry registry;
  ASSERT_TRUE(registry.OpenKey(Login("dave"), true));
  EXPECT_EQ(registry.ReadString("Password"), "");
  registry.WriteInteger("Password", 42);
  try {
    registry.ReadString("Password");
    FAIL() << "an integer was read as a string";
  } catch (const ERegistryException& e) {
    EXPECT_EQ(e.Message(), "Invalid data type for 'Password'");
  }
  EXPECT_EQ(registry.ReadInteger("Password"), 42u);
  registry.WriteString("Password", "back to text");
  EXPECT_EQ(registry.ReadString("PASSWORD"), "back to text");
}

TEST_F(RegistryTest, AWriteThatCannotBeDoneFailsWithTheRegistrysMessage) {
  Remember("erin", "E");
  TRegistry registry;
  ASSERT_TRUE(registry.OpenKey(Login("erin"), false));
  // A folder where the lock file belongs makes every write fail, even for root.
  fs::remove(File() + ".lock");
  fs::create_directory(File() + ".lock");
  ASSERT_EQ(WriteFailure(registry), "Failed to set data for 'Password'")
      << "the write was reported as done";
  EXPECT_FALSE(registry.OpenKey(Login("frank"), true));
  EXPECT_FALSE(registry.DeleteKey(Login("erin")));
  EXPECT_EQ(Remembered("erin"), "E");

  TRegistry closed;
  ASSERT_EQ(WriteFailure(closed), "Failed to set data for 'Password'")
      << "a write without an open key was reported as done";
}

TEST_F(RegistryTest, ASettingsFolderOthersCouldChangeIsNeitherUsedNorPassed) {
  Remember("erin", "E");
  const std::string folder = FFolder + "/config/Quillby";
  EXPECT_NO_THROW(platform::CheckRegistryFolder());
  ASSERT_EQ(chmod(folder.c_str(), 0777), 0);
  try {
    platform::CheckRegistryFolder();
    ADD_FAILURE() << "passed";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message().rfind("The folder \"" + folder + "\" can be changed by other users", 0),
              0u)
        << e.Message();
  }
  TRegistry registry;
  ASSERT_TRUE(registry.OpenKey(Login("erin"), false));
  EXPECT_EQ(WriteFailure(registry), "Failed to set data for 'Password'");
  EXPECT_FALSE(registry.OpenKey(Login("frank"), true));
}

TEST_F(RegistryTest, AnotherCopyHoldingTheLockMakesAChangeFailInsteadOfHanging) {
  Remember("erin", "E");
  // A copy of the program stopped in the middle of its own change.
  const int held = open((File() + ".lock").c_str(), O_RDWR);
  ASSERT_GE(held, 0);
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  alarm(60);  // a change that waits for ever ends the test here
  TRegistry registry;
  registry.SetLockTimeout(std::chrono::milliseconds(50));
  ASSERT_TRUE(registry.OpenKey(Login("erin"), false));
  ASSERT_EQ(WriteFailure(registry), "Failed to set data for 'Password'")
      << "the write was reported as done";
  EXPECT_FALSE(registry.OpenKey(Login("frank"), true));
  EXPECT_FALSE(registry.DeleteKey(Login("erin")));
  alarm(0);
  close(held);
  EXPECT_EQ(Remembered("erin"), "E");
  EXPECT_TRUE(registry.DeleteKey(Login("erin")));
}

TEST_F(RegistryTest, ADamagedFileIsReportedAndNeverOverwritten) {
  Remember("alice", "A");
  Remember("bob", "B");
  const std::string good = ReadFile(File());
  const std::string damaged[] = {
      good.substr(0, good.size() - 4),                                   // cut short
      "garbage\n",                                                       // not ours
      good.substr(0, good.find("value")) + "value =Password sz\nend\n",  // bad line
      good + good,  // trailing lines after the end
  };
  for (const std::string& text : damaged) {
    {
      std::ofstream out(File(), std::ios::binary | std::ios::trunc);
      out << text;
    }
    TRegistry registry;
    try {
      registry.OpenKey(Login("carol"), true);
      FAIL() << "a damaged file was accepted: " << text;
    } catch (const ERegistryException& e) {
      EXPECT_NE(e.Message().find(File()), std::string::npos) << e.Message();
      EXPECT_NE(e.Message().find("damaged"), std::string::npos) << e.Message();
    }
    EXPECT_THROW(registry.DeleteKey(Login("alice")), ERegistryException);
    EXPECT_THROW(registry.KeyExists(Login("alice")), ERegistryException);
    EXPECT_EQ(ReadFile(File()), text);
  }
}

TEST_F(RegistryTest, AnUnreadableFileIsReportedWithItsReason) {
  fs::create_directories(File());
  TRegistry registry;
  try {
    registry.OpenKey(Login("alice"), false);
    FAIL() << "an unreadable file was taken as empty";
  } catch (const ERegistryException& e) {
    EXPECT_NE(e.Message().find("Cannot read the settings file '" + File() + "'"), std::string::npos)
        << e.Message();
  }
}

TEST_F(RegistryTest, TwoCopiesWritingAtOnceLoseNothing) {
  constexpr int kEach = 15;
  pid_t children[2];
  for (int copy = 0; copy < 2; ++copy) {
    children[copy] = fork();
    ASSERT_GE(children[copy], 0);
    if (children[copy] == 0) {
      int failures = 0;
      for (int i = 0; i < kEach; ++i) {
        try {
          TRegistry registry;
          const std::string user = "copy" + std::to_string(copy) + "-" + std::to_string(i);
          if (!registry.OpenKey(Login(user), true)) ++failures;
          registry.WriteString("Password", user);
        } catch (...) {
          ++failures;
        }
      }
      _exit(failures == 0 ? 0 : 1);
    }
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  for (int copy = 0; copy < 2; ++copy) {
    for (int i = 0; i < kEach; ++i) {
      const std::string user = "copy" + std::to_string(copy) + "-" + std::to_string(i);
      EXPECT_EQ(Remembered(user), user);
    }
  }
}

// The files in the settings folder other than the file and its lock.
std::vector<std::string> Others(const std::string& Folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(Folder)) {
    const std::string name = entry.path().filename().string();
    if (name != "registry" && name != "registry.lock") names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

void Plant(const std::string& Path, const std::string& Text) {
  std::ofstream out(Path, std::ios::binary);
  out << Text;
}

TEST_F(RegistryTest, RewritesLeaveOnlyCompleteFiles) {
  Remember("alice", "A");
  const std::string folder = FFolder + "/config/Quillby";
  const std::string copy = ReadFile(File());
  // Temporary files left by copies of the program killed mid-write change nothing and are
  // cleared by the next change.
  Plant(folder + "/.registry.quillby-tmp.Xq12ab", "Quillby registry 1\nkey =Soft");
  Plant(folder + "/.registry.quillby-tmp.Zz0000", "");
  // The user's own files stay, whatever their names and contents: a backup copy, the file set
  // aside as the damaged-file message invites, names that look like a temporary file's.
  const std::vector<std::string> own = {"registry.AbC123", "registry.Zz0000", "registry.backup",
                                        "registry.broken", "registry.old"};
  for (const std::string& name : own) Plant(folder + "/" + name, copy);
  Plant(folder + "/registry.Zz0000", "");
  Remember("bob", "B");
  EXPECT_EQ(Remembered("alice"), "A");
  EXPECT_EQ(Remembered("bob"), "B");
  EXPECT_EQ(Others(folder), own);
  EXPECT_EQ(ReadFile(folder + "/registry.backup"), copy);
  EXPECT_EQ(ReadFile(folder + "/registry.AbC123"), copy);
  struct stat st {};
  ASSERT_EQ(stat(File().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(RegistryTest, ATemporaryFileIsLeftAloneWhileAnotherCopyHoldsTheLock) {
  Remember("alice", "A");
  const std::string folder = FFolder + "/config/Quillby";
  // The copy holding the lock is writing this one.
  Plant(folder + "/.registry.quillby-tmp.Wr1tng", "Quillby registry 1\n");
  const int held = open((File() + ".lock").c_str(), O_RDWR);
  ASSERT_GE(held, 0);
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  TRegistry registry;
  registry.SetLockTimeout(std::chrono::milliseconds(50));
  EXPECT_FALSE(registry.OpenKey(Login("bob"), true));
  EXPECT_EQ(Others(folder), std::vector<std::string>{".registry.quillby-tmp.Wr1tng"});
  close(held);
}

}  // namespace
