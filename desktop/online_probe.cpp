#include "desktop/online_probe.h"

#include <QLibrary>

#include "platform/connectivity.h"
#include "platform/executable_path.h"

namespace {

using TReachability = int (*)();

// The module is opened with the first question, not linked: see online_module.cpp.
TReachability OpenReachability() {
  std::string executable;
  try {
    executable = platform::ExecutablePath();
  } catch (...) {
    return nullptr;
  }
  for (const std::string& path : OnlineModulePaths(executable)) {
    QLibrary module(QString::fromStdString(path));
    if (auto* reachability =
            reinterpret_cast<TReachability>(module.resolve("QuillbyReachability"))) {
      return reachability;
    }
  }
  return nullptr;
}

}  // namespace

std::vector<std::string> OnlineModulePaths(const std::string& ExecutablePath) {
  const std::string folder = ExecutablePath.substr(0, ExecutablePath.rfind('/') + 1);
  return {folder + QUILLBY_ONLINE_MODULE, folder + QUILLBY_INSTALLED_ONLINE_MODULE};
}

bool DesktopReportsOnline() {
  static const TReachability reachability = OpenReachability();
  if (reachability) {
    const int answer = reachability();
    if (answer >= 0) return answer == 1;
  }
  return platform::HasDefaultRoute();
}
