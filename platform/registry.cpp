#include "platform/registry.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <utility>

#include "platform/codepage.h"
#include "platform/user_folders.h"
#include "platform/utf8.h"

namespace platform {
namespace {

constexpr std::string_view kHeader = "Quillby registry 1";
constexpr std::string_view kTypeString = "sz";
constexpr std::string_view kTypeInteger = "dword";

// A file descriptor that is closed on every way out.
class TFileHandle {
 public:
  explicit TFileHandle(int Fd = -1) : FFd(Fd) {}
  ~TFileHandle() {
    if (FFd >= 0) ::close(FFd);
  }
  TFileHandle(TFileHandle&& Other) noexcept : FFd(std::exchange(Other.FFd, -1)) {}
  TFileHandle& operator=(TFileHandle&& Other) noexcept {
    if (this != &Other) {
      if (FFd >= 0) ::close(FFd);
      FFd = std::exchange(Other.FFd, -1);
    }
    return *this;
  }
  TFileHandle(const TFileHandle&) = delete;
  TFileHandle& operator=(const TFileHandle&) = delete;

  int Get() const { return FFd; }
  bool Valid() const { return FFd >= 0; }
  // Closes now and tells whether the close succeeded (it can report a failed write).
  bool Close() {
    const int fd = std::exchange(FFd, -1);
    return fd < 0 || ::close(fd) == 0;
  }

 private:
  int FFd;
};

// Names compare as the store compares logins, so both find the same user.
bool SameName(const std::string& A, const std::string& B) { return FoldCase(A) == FoldCase(B); }

struct TValue {
  std::string Name;  // UTF-8
  std::string Type;
  std::string Data;  // UTF-8 text, or the decimal number of an integer
};

struct TKey {
  TKeyPath Path;  // UTF-8 names
  std::vector<TValue> Values;
};

// A key path's names folded and joined, with their lengths, so that any name fits.
std::string FoldedPath(const TKeyPath& Path) {
  std::string folded;
  for (const std::string& name : Path) {
    const std::string f = FoldCase(name);
    folded += std::to_string(f.size());
    folded += ':';
    folded += f;
  }
  return folded;
}

struct THive {
  std::vector<TKey> Keys;
  std::unordered_map<std::string, std::size_t> Index;  // folded path -> position in Keys

  TKey* Find(const TKeyPath& Path) {
    const auto found = Index.find(FoldedPath(Path));
    return found == Index.end() ? nullptr : &Keys[found->second];
  }

  void Add(TKey Key) {
    Index.emplace(FoldedPath(Key.Path), Keys.size());
    Keys.push_back(std::move(Key));
  }

  void Reindex() {
    Index.clear();
    for (std::size_t i = 0; i < Keys.size(); ++i) Index.emplace(FoldedPath(Keys[i].Path), i);
  }
};

bool IsPrefix(const TKeyPath& Prefix, const TKeyPath& Path) {
  if (Prefix.size() > Path.size()) return false;
  for (std::size_t i = 0; i < Prefix.size(); ++i) {
    if (!SameName(Prefix[i], Path[i])) return false;
  }
  return true;
}

// Every byte outside printable ASCII, and the few the format uses, as %XX; each token starts
// with "=" so that an empty name is still a token.
std::string Encode(const std::string& Text) {
  static const char* hex = "0123456789ABCDEF";
  std::string out = "=";
  for (const char ch : Text) {
    const unsigned char b = static_cast<unsigned char>(ch);
    if (b <= 0x20 || b >= 0x7F || b == '%' || b == '=' || b == '\\') {
      out += '%';
      out += hex[b >> 4];
      out += hex[b & 15];
    } else {
      out += ch;
    }
  }
  return out;
}

bool Decode(std::string_view Token, std::string& Out) {
  if (Token.empty() || Token[0] != '=') return false;
  Out.clear();
  auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  for (std::size_t i = 1; i < Token.size(); ++i) {
    if (Token[i] != '%') {
      Out += Token[i];
      continue;
    }
    if (i + 2 >= Token.size()) return false;
    const int high = digit(Token[i + 1]);
    const int low = digit(Token[i + 2]);
    if (high < 0 || low < 0) return false;
    Out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return true;
}

std::vector<std::string_view> Words(std::string_view Line) {
  std::vector<std::string_view> words;
  std::size_t start = 0;
  while (start <= Line.size()) {
    const std::size_t end = Line.find(' ', start);
    const std::size_t stop = end == std::string_view::npos ? Line.size() : end;
    words.push_back(Line.substr(start, stop - start));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return words;
}

bool IsInteger(const std::string& Text) {
  if (Text.empty() || Text.size() > 10) return false;
  for (const char c : Text) {
    if (c < '0' || c > '9') return false;
  }
  return std::stoull(Text) <= 0xFFFFFFFFull;
}

std::string Message(const std::string& Utf8) { return Utf8ToAnsi(Utf8); }

[[noreturn]] void Damaged(const std::string& File, int Line, const std::string& What) {
  throw ERegistryException(Message("The settings file '" + File + "' is damaged (line " +
                                   std::to_string(Line) + ": " + What +
                                   "). It is left as it is; remove or repair it to store "
                                   "settings again."));
}

THive Parse(const std::string& File, const std::string& Text) {
  THive hive;
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < Text.size()) {
    const std::size_t end = Text.find('\n', start);
    if (end == std::string::npos) Damaged(File, static_cast<int>(lines.size()) + 1, "cut short");
    lines.push_back(std::string_view(Text).substr(start, end - start));
    start = end + 1;
  }
  if (lines.empty() || lines.front() != kHeader) Damaged(File, 1, "not a settings file");
  if (lines.size() < 2 || lines.back() != "end") {
    Damaged(File, static_cast<int>(lines.size()), "cut short");
  }
  for (std::size_t n = 1; n + 1 < lines.size(); ++n) {
    const int line = static_cast<int>(n) + 1;
    const auto words = Words(lines[n]);
    if (words[0] == "key" && words.size() >= 2) {
      TKey key;
      for (std::size_t i = 1; i < words.size(); ++i) {
        std::string name;
        if (!Decode(words[i], name) || name.empty()) Damaged(File, line, "bad key name");
        key.Path.push_back(std::move(name));
      }
      if (hive.Find(key.Path) != nullptr) Damaged(File, line, "key given twice");
      hive.Add(std::move(key));
    } else if (words[0] == "value" && words.size() == 4) {
      if (hive.Keys.empty()) Damaged(File, line, "value outside a key");
      TValue value;
      value.Type = std::string(words[2]);
      if (!Decode(words[1], value.Name) || !Decode(words[3], value.Data)) {
        Damaged(File, line, "bad value");
      }
      if (value.Type != kTypeString && !(value.Type == kTypeInteger && IsInteger(value.Data))) {
        Damaged(File, line, "bad value type");
      }
      for (const TValue& other : hive.Keys.back().Values) {
        if (SameName(other.Name, value.Name)) Damaged(File, line, "value given twice");
      }
      hive.Keys.back().Values.push_back(std::move(value));
    } else {
      Damaged(File, line, "unknown line");
    }
  }
  return hive;
}

std::string Serialize(const THive& Hive) {
  std::string text(kHeader);
  text += '\n';
  for (const TKey& key : Hive.Keys) {
    text += "key";
    for (const std::string& name : key.Path) text += ' ' + Encode(name);
    text += '\n';
    for (const TValue& value : key.Values) {
      text += "value " + Encode(value.Name) + ' ' + value.Type + ' ' + Encode(value.Data) + '\n';
    }
  }
  text += "end\n";
  return text;
}

// A write that could not be done; the callers turn it into the registry's own message.
struct TWriteFailure {
  std::string Reason;
};

THive Load(const std::string& File) {
  TFileHandle fd(::open(File.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.Valid()) {
    if (errno == ENOENT) return {};
    throw ERegistryException(
        Message("Cannot read the settings file '" + File + "': " + std::strerror(errno)));
  }
  std::string text;
  char buffer[8192];
  for (;;) {
    const ssize_t got = ::read(fd.Get(), buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      throw ERegistryException(
          Message("Cannot read the settings file '" + File + "': " + std::strerror(errno)));
    }
    text.append(buffer, static_cast<std::size_t>(got));
  }
  if (text.empty()) return {};
  return Parse(File, text);
}

std::string Folder(const std::string& File) {
  const auto slash = File.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : File.substr(0, slash);
}

std::string BaseName(const std::string& File) {
  const auto slash = File.rfind('/');
  return slash == std::string::npos ? File : File.substr(slash + 1);
}

// The temporary files Save makes beside the file are hidden and carry the program's own mark,
// a name no person gives a file: a "registry.backup" or "registry.broken" of the user's own is
// never taken for one.
constexpr std::string_view kTemporaryMark = ".quillby-tmp.";

std::string TemporaryPrefix(const std::string& File) {
  return Folder(File) + "/." + BaseName(File) + std::string(kTemporaryMark);
}

bool WriteAll(int Fd, const std::string& Text) {
  std::size_t done = 0;
  while (done < Text.size()) {
    const ssize_t put = ::write(Fd, Text.data() + done, Text.size() - done);
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(put);
  }
  return true;
}

// Replaces the file by a complete new one: written beside it, flushed, then renamed over it, so
// a crash at any point leaves either the old or the new file.
void Save(const std::string& File, const THive& Hive) {
  const std::string folder = Folder(File);
  std::string temp = TemporaryPrefix(File) + "XXXXXX";
  TFileHandle fd(::mkostemp(temp.data(), O_CLOEXEC));
  if (!fd.Valid()) throw TWriteFailure{std::strerror(errno)};
  const std::string text = Serialize(Hive);
  if (::fchmod(fd.Get(), 0600) != 0 || !WriteAll(fd.Get(), text) || ::fsync(fd.Get()) != 0 ||
      !fd.Close() || ::rename(temp.c_str(), File.c_str()) != 0) {
    const std::string reason = std::strerror(errno);
    ::unlink(temp.c_str());
    throw TWriteFailure{reason};
  }
  TFileHandle dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.Valid()) ::fsync(dir.Get());
}

// Whether `Name` is one of the temporary files Save makes beside `File` (its mark, then
// mkostemp's six letters or digits) and holds what it writes, the start of a settings file or
// nothing yet.
bool IsLeftover(const std::string& Folder, const std::string& Base, const std::string& Name) {
  const std::string prefix = "." + Base + std::string(kTemporaryMark);
  if (Name.size() != prefix.size() + 6 || Name.compare(0, prefix.size(), prefix) != 0) {
    return false;
  }
  for (std::size_t i = prefix.size(); i < Name.size(); ++i) {
    if (!std::isalnum(static_cast<unsigned char>(Name[i]))) return false;
  }
  TFileHandle fd(::open((Folder + "/" + Name).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  struct stat st {};
  if (!fd.Valid() || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  char start[kHeader.size()];
  const ssize_t got = ::read(fd.Get(), start, sizeof start);
  return got >= 0 && std::string_view(start, static_cast<std::size_t>(got)) ==
                         kHeader.substr(0, static_cast<std::size_t>(got));
}

// Removes the temporary files of copies that died while saving. Called under the write lock:
// every copy makes its temporary file only while it holds the lock, so none of these is still
// being written.
void RemoveLeftovers(const std::string& File) {
  const std::string folder = Folder(File);
  const std::string base = BaseName(File);
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
  if (!dir) return;
  std::vector<std::string> leftovers;
  while (const dirent* entry = ::readdir(dir.get())) {
    if (IsLeftover(folder, base, entry->d_name)) leftovers.emplace_back(entry->d_name);
  }
  for (const std::string& name : leftovers) ::unlink((folder + "/" + name).c_str());
}

// Holds the lock that serializes read-modify-write between copies of the program. A copy that
// holds it for longer than Timeout (stopped, or stuck on a hung disk) makes the write fail
// rather than freeze this one.
class TWriteLock {
 public:
  TWriteLock(const std::string& File, std::chrono::milliseconds Timeout) {
    try {
      platform::MakePrivateFolder(Folder(File));
    } catch (const Exception& refused) {
      throw TWriteFailure{refused.Message()};
    }
    FFd = TFileHandle(::open((File + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!FFd.Valid()) throw TWriteFailure{std::strerror(errno)};
    const auto deadline = std::chrono::steady_clock::now() + Timeout;
    while (::flock(FFd.Get(), LOCK_EX | LOCK_NB) != 0) {
      if (errno == EINTR) continue;
      if (errno != EWOULDBLOCK) throw TWriteFailure{std::strerror(errno)};
      if (std::chrono::steady_clock::now() >= deadline) {
        throw TWriteFailure{"the settings file is locked by another program"};
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    RemoveLeftovers(File);
  }

 private:
  TFileHandle FFd;
};

TKeyPath ToUtf8(const TKeyPath& Path) {
  TKeyPath out;
  for (const std::string& name : Path) out.push_back(AnsiToUtf8(name));
  return out;
}

bool UsablePath(const TKeyPath& Path) {
  if (Path.empty()) return false;
  for (const std::string& name : Path) {
    if (name.empty()) return false;
  }
  return true;
}

const TValue* FindValue(const TKey& Key, const std::string& Name) {
  for (const TValue& value : Key.Values) {
    if (SameName(value.Name, Name)) return &value;
  }
  return nullptr;
}

}  // namespace

TKeyPath SplitKeyPath(const std::string& Path) {
  TKeyPath names;
  std::size_t start = 0;
  while (start <= Path.size()) {
    const std::size_t end = Path.find('\\', start);
    const std::size_t stop = end == std::string::npos ? Path.size() : end;
    if (stop > start) names.push_back(Path.substr(start, stop - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return names;
}

std::string DefaultRegistryFile() {
  return platform::UserBaseFolder("XDG_CONFIG_HOME", ".config") + "/Quillby/registry";
}

void CheckRegistryFolder(const std::string& FileName) { CheckPrivateFolder(Folder(FileName)); }

TRegistry::TRegistry(std::string FileName) : FFileName(std::move(FileName)) {}

bool TRegistry::OpenKey(const TKeyPath& Key, bool CanCreate) {
  if (!UsablePath(Key)) return false;
  const TKeyPath path = ToUtf8(Key);
  if (Load(FFileName).Find(path) == nullptr) {
    if (!CanCreate) return false;
    try {
      TWriteLock lock(FFileName, FLockTimeout);
      THive hive = Load(FFileName);
      if (hive.Find(path) == nullptr) {
        for (std::size_t n = 1; n <= path.size(); ++n) {
          const TKeyPath prefix(path.begin(), path.begin() + static_cast<std::ptrdiff_t>(n));
          if (hive.Find(prefix) == nullptr) hive.Add({prefix, {}});
        }
        Save(FFileName, hive);
      }
    } catch (const TWriteFailure&) {
      return false;
    }
  }
  FCurrentKey = Key;
  FHasKey = true;
  return true;
}

void TRegistry::CloseKey() {
  FHasKey = false;
  FCurrentKey.clear();
}

bool TRegistry::KeyExists(const TKeyPath& Key) {
  return UsablePath(Key) && Load(FFileName).Find(ToUtf8(Key)) != nullptr;
}

bool TRegistry::DeleteKey(const TKeyPath& Key) {
  if (!UsablePath(Key)) return false;
  const TKeyPath path = ToUtf8(Key);
  if (Load(FFileName).Find(path) == nullptr) return false;
  try {
    TWriteLock lock(FFileName, FLockTimeout);
    THive hive = Load(FFileName);
    const auto before = hive.Keys.size();
    std::erase_if(hive.Keys, [&](const TKey& key) { return IsPrefix(path, key.Path); });
    if (hive.Keys.size() == before) return false;
    hive.Reindex();
    Save(FFileName, hive);
  } catch (const TWriteFailure&) {
    return false;
  }
  if (FHasKey && IsPrefix(Key, FCurrentKey)) CloseKey();
  return true;
}

bool TRegistry::ValueExists(const std::string& Name) {
  if (!FHasKey) return false;
  THive hive = Load(FFileName);
  const TKey* key = hive.Find(ToUtf8(FCurrentKey));
  return key != nullptr && FindValue(*key, AnsiToUtf8(Name)) != nullptr;
}

std::string TRegistry::ReadString(const std::string& Name) {
  if (!FHasKey) return {};
  THive hive = Load(FFileName);
  const TKey* key = hive.Find(ToUtf8(FCurrentKey));
  const TValue* value = key != nullptr ? FindValue(*key, AnsiToUtf8(Name)) : nullptr;
  if (value == nullptr) return {};
  if (value->Type != kTypeString) {
    throw ERegistryException("Invalid data type for '" + Name + "'");
  }
  return Utf8ToAnsi(value->Data);
}

std::uint32_t TRegistry::ReadInteger(const std::string& Name) {
  if (!FHasKey) return 0;
  THive hive = Load(FFileName);
  const TKey* key = hive.Find(ToUtf8(FCurrentKey));
  const TValue* value = key != nullptr ? FindValue(*key, AnsiToUtf8(Name)) : nullptr;
  if (value == nullptr) return 0;
  if (value->Type != kTypeInteger) {
    throw ERegistryException("Invalid data type for '" + Name + "'");
  }
  return static_cast<std::uint32_t>(std::stoul(value->Data));
}

namespace {
void PutValue(const std::string& File, std::chrono::milliseconds LockTimeout, const TKeyPath& Key,
              bool HasKey, const std::string& Name, std::string_view Type,
              const std::string& Data) {
  const std::string failed = "Failed to set data for '" + Name + "'";
  if (!HasKey) throw ERegistryException(failed);
  try {
    TWriteLock lock(File, LockTimeout);
    THive hive = Load(File);
    TKey* key = hive.Find(ToUtf8(Key));
    if (key == nullptr) throw ERegistryException(failed);
    const std::string name = AnsiToUtf8(Name);
    TValue fresh{name, std::string(Type), Data};
    bool replaced = false;
    for (TValue& value : key->Values) {
      if (SameName(value.Name, name)) {
        value = fresh;
        replaced = true;
      }
    }
    if (!replaced) key->Values.push_back(fresh);
    Save(File, hive);
  } catch (const TWriteFailure&) {
    throw ERegistryException(failed);
  }
}
}  // namespace

void TRegistry::WriteString(const std::string& Name, const std::string& Value) {
  PutValue(FFileName, FLockTimeout, FCurrentKey, FHasKey, Name, kTypeString, AnsiToUtf8(Value));
}

void TRegistry::WriteInteger(const std::string& Name, std::uint32_t Value) {
  PutValue(FFileName, FLockTimeout, FCurrentKey, FHasKey, Name, kTypeInteger,
           std::to_string(Value));
}

}  // namespace platform
