// Where the library stores the adapter configuration: the application
// writes it, the recorder and the settings fuzzer read it. Kept free of Qt
// so that any program on the library can include it.
#pragma once

constexpr char REGISTRY_PATH[] = "\\Software\\Quelbrook\\Tarnwick\\";
