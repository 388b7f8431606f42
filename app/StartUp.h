// The application's start-up: the title, the three windows in their order,
// the message loop, and the windows' release when it ends.
#pragma once

#include <functional>

// Creates MainForm, Form_MTU and AboutBox, shows the main window and runs the
// message loop (QApplication::exec unless `messageLoop` is given) until the
// main window closes; then releases the windows. An exception of the
// standard exception class that escapes is shown, and the result is still 0.
int StartUp(const std::function<int()> &messageLoop = {});

