// Where the program finds its store: beside the executable, or, installed, in the user's data
// folder with a first-start copy of the installed empty store.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "data/store_file.h"
#include "platform/exception.h"

namespace fs = std::filesystem;

namespace {

std::string Bytes(const fs::path& File) {
  std::ifstream in(File, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

mode_t ModeOf(const fs::path& File) {
  struct stat st {};
  return ::stat(File.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// An installation: prefix/bin/quillby and the empty store prefix/share/quillby/quillby.mdb, and a
// user's data folder that does not exist yet.
class StoreLocationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FRoot = fs::temp_directory_path() / ("quillby-location-" + std::to_string(::getpid()));
    fs::remove_all(FRoot);
    fs::create_directories(FRoot / "prefix/bin");
    fs::create_directories(FRoot / "prefix/share/quillby");
    CreateStoreFile(Template());
    ::chmod(Template().c_str(), 0644);
  }
  void TearDown() override { fs::remove_all(FRoot); }

  fs::path Executable() const { return FRoot / "prefix/bin/quillby"; }
  fs::path Template() const { return FRoot / "prefix/share/quillby/quillby.mdb"; }
  fs::path UserFolder() const { return FRoot / "home/.local/share/Quillby"; }
  std::string Locate(const std::string& Installed = "../share/quillby/quillby.mdb") const {
    return LocateStore(Executable(), Installed, UserFolder());
  }

  fs::path FRoot;
};

TEST_F(StoreLocationTest, FirstStartCopiesTheEmptyStorePrivatelyAndLaterStartsKeepIt) {
  const fs::path store = UserFolder() / "quillby.mdb";
  for (const std::string& installed :
       {std::string("../share/quillby/quillby.mdb"), Template().string()}) {
    fs::remove_all(FRoot / "home");
    EXPECT_EQ(Locate(installed), store.string()) << installed;
    EXPECT_EQ(Bytes(store), Bytes(Template()));
    EXPECT_EQ(ModeOf(store), 0600u);
    EXPECT_EQ(ModeOf(UserFolder()), 0700u);
    // Nothing is left beside it but the store.
    EXPECT_EQ(std::distance(fs::directory_iterator(UserFolder()), fs::directory_iterator()), 1);
  }

  // An existing store is the user's: left byte for byte, mode and all.
  { std::ofstream(store, std::ios::binary | std::ios::trunc) << "the user's own rows"; }
  ::chmod(store.c_str(), 0640);
  const auto written = fs::last_write_time(store);
  EXPECT_EQ(Locate(), store.string());
  EXPECT_EQ(Bytes(store), "the user's own rows");
  EXPECT_EQ(ModeOf(store), 0640u);
  EXPECT_EQ(fs::last_write_time(store), written);
}

TEST_F(StoreLocationTest, AStoreBesideTheExecutableOrNoInstallationMeansTheProgramsFolder) {
  const std::string beside = (FRoot / "prefix/bin/quillby.mdb").string();
  // No installed empty store where the executable says: a build folder without its store.
  EXPECT_EQ(Locate("../share/other/quillby.mdb"), beside);
  EXPECT_EQ(Locate(""), beside);
  EXPECT_FALSE(fs::exists(FRoot / "home"));
  EXPECT_FALSE(fs::exists(beside));

  // A folder that holds the program with its store, installed empty store or not.
  CreateStoreFile(beside);
  EXPECT_EQ(Locate(), beside);
  EXPECT_FALSE(fs::exists(FRoot / "home"));
}

TEST_F(StoreLocationTest, AFirstStartThatCannotMakeTheStoreSaysWhyAndLeavesNothing) {
  // The data folder's place is taken by a file.
  fs::create_directories(UserFolder().parent_path());
  { std::ofstream(UserFolder()) << "not a folder"; }
  try {
    Locate();
    ADD_FAILURE() << "no failure";
  } catch (const Exception& e) {
    EXPECT_NE(e.Message().find(UserFolder().string()), std::string::npos) << e.Message();
    EXPECT_NE(e.Message().find("Not a directory"), std::string::npos) << e.Message();
  }
  EXPECT_EQ(Bytes(UserFolder()), "not a folder");

  // The installed empty store cannot be read (a folder stands in its place).
  fs::remove(UserFolder());
  fs::remove(Template());
  fs::create_directory(Template());
  try {
    Locate();
    ADD_FAILURE() << "no failure";
  } catch (const Exception& e) {
    EXPECT_NE(e.Message().find((UserFolder() / "quillby.mdb").string()), std::string::npos)
        << e.Message();
    EXPECT_NE(e.Message().find("Is a directory"), std::string::npos) << e.Message();
  }
  EXPECT_TRUE(fs::is_empty(UserFolder()));
}

TEST_F(StoreLocationTest, AnExistingDataFolderOthersCouldChangeIsRefused) {
  const fs::path store = UserFolder() / "quillby.mdb";
  EXPECT_EQ(Locate(), store.string());
  ::chmod(UserFolder().c_str(), 0777);
  try {
    Locate();
    ADD_FAILURE() << "the store was used";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message().rfind("The folder \"" + UserFolder().string() +
                                    "\" can be changed by other users (mode 0777)",
                                0),
              0u)
        << e.Message();
  }
}

// Installed, the connection log, which holds the mail password, lives in the user's private
// state folder; run from a build or portable folder, in the working directory.
TEST_F(StoreLocationTest, TheConnectionLogIsInTheStateFolderOnceInstalled) {
  const fs::path state = FRoot / "home/.local/state/Quillby";
  auto locate = [&](const std::string& installed = "../share/quillby/quillby.mdb") {
    return LocateConnectionLog(Executable(), installed, state);
  };
  EXPECT_EQ(locate("../share/other/quillby.mdb"), "QybSmtp.log");
  EXPECT_EQ(locate(""), "QybSmtp.log");
  EXPECT_FALSE(fs::exists(state));

  EXPECT_EQ(locate(), (state / "QybSmtp.log").string());
  EXPECT_EQ(ModeOf(state), 0700u);
  EXPECT_TRUE(fs::is_empty(state));  // the log itself is made when the desktop opens
  ::chmod(state.c_str(), 0770);
  EXPECT_THROW(locate(), Exception);

  // A folder that holds the program with its store.
  CreateStoreFile((FRoot / "prefix/bin/quillby.mdb").string());
  EXPECT_EQ(locate(), "QybSmtp.log");
}

}  // namespace
