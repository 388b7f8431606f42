// The application's start-up: the title, the three windows in their order,
// the message loop, and the windows' release when it ends.
#pragma once

#include <functional>

// Creates MainForm, Form_MTU and AboutBox, shows the main window and runs the
// message loop (QApplication::exec unless `messageLoop` is given) until the
// main window closes; then releases the windows. An exception of the
// standard exception class that escapes is shown, and the result is still 0.
int StartUp(const std::function<int()> &messageLoop = {});

// Fixes the process's time zone to the system's (TZ=:/etc/localtime) unless
// TZ says otherwise. Qt's virtual CAN bus stamps every frame it receives
// with the local wall-clock time, and without TZ the C library looks at
// /etc/localtime again for each one: at the rates the virtual bus carries,
// that takes most of the library's reader, so PDOs are dropped and the
// socket's backlog grows while the stream lasts. No time the application
// shows changes. Call it first in main, before any thread runs.
void PinTimeZone();
