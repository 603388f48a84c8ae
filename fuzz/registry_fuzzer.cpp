// The settings file's parser: whatever the file holds, reading it either works or fails with
// the registry's own message.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/exception.h"
#include "platform/registry.h"

namespace {

// The file every input is written to, removed when the run ends.
struct TTempFile {
  TTempFile() {
    // Memory-backed when the system has it: every input is written to the disk otherwise.
    const char* dir = std::getenv("TMPDIR");
    if (dir == nullptr) dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    Name = std::string(dir) + "/quillby-fuzz-XXXXXX";
    const int fd = mkstemp(Name.data());
    if (fd < 0) std::abort();
    close(fd);
  }
  ~TTempFile() { unlink(Name.c_str()); }
  std::string Name;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const TTempFile temp;
  const std::string& file = temp.Name;
  FILE* out = std::fopen(file.c_str(), "wb");
  if (out == nullptr) std::abort();
  std::fwrite(data, 1, size, out);
  std::fclose(out);
  platform::TRegistry registry(file);
  for (const char* user : {"alice", "ALICE", "bob"}) {
    try {
      const platform::TKeyPath key{"Software", "Quillby", "Logins", user};
      registry.KeyExists(key);
      if (registry.OpenKey(key, false)) {
        registry.ValueExists("Password");
        registry.ReadString("Password");
      }
    } catch (const Exception&) {
    }
    try {
      registry.ReadInteger("Count");
    } catch (const Exception&) {
    }
  }
  return 0;
}
