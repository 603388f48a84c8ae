#include "desktop/online_probe.h"

#include <QNetworkInformation>

#include "platform/connectivity.h"

bool DesktopReportsOnline() {
  // Loaded once; the backend follows the desktop's state (NetworkManager, GLib's monitor,
  // airplane mode) from then on.
  static const bool loaded = QNetworkInformation::loadDefaultBackend();
  if (loaded) {
    if (const QNetworkInformation* info = QNetworkInformation::instance()) {
      switch (info->reachability()) {
        case QNetworkInformation::Reachability::Online:
        case QNetworkInformation::Reachability::Site:
          // Any network beyond this machine counts as a connection.
          return true;
        case QNetworkInformation::Reachability::Local:
        case QNetworkInformation::Reachability::Disconnected:
          return false;
        case QNetworkInformation::Reachability::Unknown:
          break;
      }
    }
  }
  return platform::HasDefaultRoute();
}
