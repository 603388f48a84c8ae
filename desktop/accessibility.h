#pragma once

// Tells screen readers what the desktop window's own kinds of widget are: the window itself is
// a main window named by its title, the pie a chart, and the side bar's labels links that can
// be pressed. Installs itself once; every such widget calls it before it is first asked.
void InstallDesktopAccessibility();
