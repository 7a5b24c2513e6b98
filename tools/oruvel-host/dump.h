#pragma once
// The `dump` listing of the desktop host: every shown window and its
// widgets in creation order, one line each, for scripts to check.
#include <string>
#include <vector>

class eWidget;

namespace oruvel_host {

// The lines describing one window and everything in it.
std::vector<std::string> dumpWindow(eWidget* window, bool running);
// All shown windows, in showing order.
std::vector<std::string> dumpScreen();

}  // namespace oruvel_host
