// Qt's network reachability in a module of its own, which online_probe.cpp opens with the first
// question: Qt Network and the Kerberos and proxy libraries it brings cost about 1.1 MB of
// resident memory from start-up on when the program links them.
#include <QNetworkInformation>

// 1 online, 0 offline, -1 when no backend can tell.
extern "C" Q_DECL_EXPORT int QuillbyReachability() {
  // Loaded once; the backend follows the desktop's state (NetworkManager, GLib's monitor,
  // airplane mode) from then on.
  static const bool loaded = QNetworkInformation::loadDefaultBackend();
  if (loaded) {
    if (const QNetworkInformation* info = QNetworkInformation::instance()) {
      switch (info->reachability()) {
        case QNetworkInformation::Reachability::Online:
        case QNetworkInformation::Reachability::Site:
          // Any network beyond this machine counts as a connection.
          return 1;
        case QNetworkInformation::Reachability::Local:
        case QNetworkInformation::Reachability::Disconnected:
          return 0;
        case QNetworkInformation::Reachability::Unknown:
          break;
      }
    }
  }
  return -1;
}
