// The per-user folders: made private, refused when others could change them, and found below the
// user's home even when HOME is not set.
#include "platform/user_folders.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/exception.h"

namespace fs = std::filesystem;

namespace {

class UserFoldersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "quillby-folders-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    FRoot = pattern;
  }
  void TearDown() override { fs::remove_all(FRoot); }

  // The failure's message, or "accepted".
  template <class F>
  static std::string Outcome(F&& call) {
    try {
      call();
      return "accepted";
    } catch (const Exception& e) {
      return e.Message();
    }
  }
  static mode_t ModeOf(const fs::path& Path) {
    struct stat st {};
    return ::stat(Path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
  }

  fs::path FRoot;
};

TEST_F(UserFoldersTest, AnExistingFolderMustBeTheUsersOwnAndClosedToOthersWrites) {
  const fs::path folder = FRoot / "Quillby";
  const std::string changeable =
      "The folder \"" + folder.string() +
      "\" can be changed by other users (mode %s), so it cannot keep your files safe. Close it "
      "with \"chmod go-w " +
      folder.string() + "\", then start the program again.";
  auto refused = [&](const char* mode) {
    std::string text = changeable;
    return text.replace(text.find("%s"), 2, mode);
  };
  const struct {
    mode_t mode;
    std::string outcome;
  } cases[] = {
      {0700, "accepted"},      {0755, "accepted"},       {0750, "accepted"},
      {0500, "accepted"},      {0770, refused("0770")},  {0722, refused("0722")},
      {0777, refused("0777")}, {01777, refused("1777")}, {0702, refused("0702")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    fs::create_directory(folder);
    ASSERT_EQ(::chmod(folder.c_str(), c.mode), 0);
    EXPECT_EQ(Outcome([&] { platform::MakePrivateFolder(folder); }), c.outcome);
    EXPECT_EQ(Outcome([&] { platform::CheckPrivateFolder(folder); }), c.outcome);
    EXPECT_EQ(ModeOf(folder), c.mode) << "the folder was changed";
    fs::remove(folder);
  }

  // A folder reached through a link is judged where it is.
  fs::create_directory(FRoot / "elsewhere");
  ::chmod((FRoot / "elsewhere").c_str(), 0777);
  fs::create_directory_symlink(FRoot / "elsewhere", folder);
  EXPECT_EQ(Outcome([&] { platform::CheckPrivateFolder(folder); }), refused("0777"));
}

TEST_F(UserFoldersTest, AFolderOfAnotherUserIsRefused) {
  if (::geteuid() != 0) GTEST_SKIP() << "giving a folder to another user needs root";
  const fs::path folder = FRoot / "Quillby";
  fs::create_directory(folder);
  ::chmod(folder.c_str(), 0700);
  ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
  const std::string refused = "The folder \"" + folder.string() +
                              "\" belongs to another user, so it cannot keep your files safe. "
                              "Remove it or make it yours, then start the program again.";
  EXPECT_EQ(Outcome([&] { platform::MakePrivateFolder(folder); }), refused);
  EXPECT_EQ(Outcome([&] { platform::CheckPrivateFolder(folder); }), refused);
}

TEST_F(UserFoldersTest, AMissingFolderIsMadePrivateWithItsParents) {
  // The parent open to all, as /tmp is, is the system's: it is not judged.
  ::chmod(FRoot.c_str(), 01777);
  const fs::path folder = FRoot / "home/.local/state/Quillby";
  EXPECT_EQ(Outcome([&] { platform::CheckPrivateFolder(folder); }), "accepted");
  EXPECT_FALSE(fs::exists(folder));
  EXPECT_EQ(Outcome([&] { platform::MakePrivateFolder(folder); }), "accepted");
  for (const fs::path& made : {folder, folder.parent_path(), FRoot / "home"}) {
    EXPECT_EQ(ModeOf(made), 0700u) << made;
  }
  // Its place taken by a file.
  fs::remove(folder);
  {
    std::FILE* file = std::fopen(folder.c_str(), "w");
    std::fclose(file);
  }
  EXPECT_EQ(Outcome([&] { platform::MakePrivateFolder(folder / "sub"); }),
            "The folder \"" + (folder / "sub").string() + "\" could not be made: Not a directory.");
}

TEST_F(UserFoldersTest, WithoutHomeTheHomeComesFromThePasswordDatabase) {
  const passwd* entry = ::getpwuid(::getuid());
  ASSERT_NE(entry, nullptr);
  const std::string home = entry->pw_dir;
  ASSERT_EQ(home[0], '/');
  const char* old = getenv("HOME");
  const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
  unsetenv("QUILLBY_NOT_SET");
  const struct {
    std::optional<std::string> value;
    std::string base;
  } cases[] = {
      {std::nullopt, home + "/.local/state"},
      {"", home + "/.local/state"},
      {FRoot.string(), FRoot.string() + "/.local/state"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value.value_or("<unset>"));
    if (c.value) {
      setenv("HOME", c.value->c_str(), 1);
    } else {
      unsetenv("HOME");
    }
    EXPECT_EQ(platform::UserBaseFolder("QUILLBY_NOT_SET", ".local/state"), c.base);
  }
  if (saved) {
    setenv("HOME", saved->c_str(), 1);
  } else {
    unsetenv("HOME");
  }
}

}  // namespace
