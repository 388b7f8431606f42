// Watches the binding's FreeLibrary calls. Tests that link FreeLibrarySpy.cpp
// are linked with --wrap for FreeLibrary (see CMakeLists.txt), so every call
// passes through the spy before it reaches the platform layer.
#pragma once

#include "Platform.h"

#include <functional>

int FreeLibraryCallCount();
// Runs before each FreeLibrary, e.g. to log it with the double's calls.
void OnFreeLibrary(std::function<void(HMODULE)> observer);
