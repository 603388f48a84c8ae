#include "desktop/online_probe.h"

#include "desktop/modules.h"
#include "platform/connectivity.h"

bool DesktopReportsOnline() {
  // Qt's reachability is in a module of its own (online_module.cpp), opened with the first
  // question.
  using TReachability = int (*)();
  static const auto reachability =
      reinterpret_cast<TReachability>(ModuleFunction(QUILLBY_ONLINE_MODULE, "QuillbyReachability"));
  if (reachability) {
    const int answer = reachability();
    if (answer >= 0) return answer == 1;
  }
  return platform::HasDefaultRoute();
}
