// Carries out one orvreg command against the registry: output on standard
// output in reg.exe's layout, a one-line reason on standard error when it
// fails, and the exit status (0 done, 1 failed or cancelled).
#pragma once

#include "command_line.h"

namespace orvreg {

int runRegCommand(const RegCommand& command);

// The whole program after the command line has been turned into UTF-16.
int runOrvreg(const std::vector<WString>& args);

}  // namespace orvreg
