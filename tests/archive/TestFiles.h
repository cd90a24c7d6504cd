// Real files and real programs for the archive tests.
#pragma once

#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

#include <filesystem>
#include <string>
#include <vector>

bool FileExists(const std::string& path);

// Runs a program found in PATH with args (args[0] is the program), without a shell, in folder cwd when
// given, with its output discarded; returns its exit status, or -1 when it did not exit normally.
int RunProgram(const std::vector<std::string>& args, const std::string& cwd = {});
