#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "platform/registry.h"

namespace {

using platform::TKeyPath;
using platform::TRegistry;

TKeyPath Login(const std::string& user) { return {"Software", "Quillby", "Logins", user}; }

// A settings file of its own with `users` remembered passwords, removed afterwards.
class TFilledRegistry {
 public:
  explicit TFilledRegistry(int users) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "quillby-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    FFolder = pattern;
    FFile = FFolder + "/registry";
    TRegistry registry(FFile);
    for (int i = 0; i < users; ++i) {
      registry.OpenKey(Login("user" + std::to_string(i)), true);
      registry.WriteString("Password", "0123456789ABCDEF0123456789ABCDEF");
    }
  }
  ~TFilledRegistry() {
    std::error_code ignored;
    std::filesystem::remove_all(FFolder, ignored);
  }
  const std::string& File() const { return FFile; }

 private:
  std::string FFolder;
  std::string FFile;
};

// What leaving the username box costs: open without creating, read the digest.
void BM_LookUpRemembered(benchmark::State& state) {
  TFilledRegistry filled(static_cast<int>(state.range(0)));
  TRegistry registry(filled.File());
  for (auto _ : state) {
    registry.OpenKey(Login("user0"), false);
    benchmark::DoNotOptimize(registry.ReadString("Password"));
  }
}
BENCHMARK(BM_LookUpRemembered)->Arg(1)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

// What remembering then forgetting costs: two durable rewrites of the whole file.
void BM_RememberAndForget(benchmark::State& state) {
  TFilledRegistry filled(static_cast<int>(state.range(0)));
  TRegistry registry(filled.File());
  for (auto _ : state) {
    registry.OpenKey(Login("newcomer"), true);
    registry.WriteString("Password", "0123456789ABCDEF0123456789ABCDEF");
    registry.DeleteKey(Login("newcomer"));
  }
}
BENCHMARK(BM_RememberAndForget)->Arg(1)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
