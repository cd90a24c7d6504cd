// The process's environment variables (GetEnvironmentVariableW on Windows, so that a value the ANSI code
// page cannot write arrives whole).
#pragma once

#include <string>

// The value of the variable as UTF-8; empty when it is not set.
std::string GetEnvironmentText(const char* name);
// The full path of the running program (UTF-8); empty when the system cannot tell.
std::string ExecutableFile();
