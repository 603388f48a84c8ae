#pragma once

// The desktop's own answer to "is there a connection to the Internet": Qt's network
// reachability where a backend answers, the route tables where none does.
bool DesktopReportsOnline();
