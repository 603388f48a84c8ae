#pragma once

#include <string>
#include <vector>

// The desktop's own answer to "is there a connection to the Internet": Qt's network
// reachability where a backend answers, the route tables where none does.
bool DesktopReportsOnline();

// Where the module with Qt's reachability (online_module.cpp) is sought, in order: beside the
// executable (build or portable folder), then where the installation puts it.
std::vector<std::string> OnlineModulePaths(const std::string& ExecutablePath);
