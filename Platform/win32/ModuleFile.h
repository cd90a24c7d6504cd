// The file a loaded module (a program or a DLL) was loaded from.
#pragma once

#include <string>

// The full path (UTF-8) of the module this code is linked into: the library a host loaded, or the program
// itself; empty when the system cannot tell.
std::string OwnModuleFile();
