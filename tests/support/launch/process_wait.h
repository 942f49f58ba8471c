// Waits for a program to show in the machine's process list, as the host's
// readiness check sees it, instead of sleeping for a guessed time.
#pragma once

#include <chrono>
#include <string>

namespace orv_test {

// Whether a process whose executable or first argument has the file name
// `name` runs now (a Wine process shows its Windows path as first argument).
bool isRunning(const std::string& name);

// Polls the process list until `name` runs or the timeout passes.
bool waitUntilRunning(const std::string& name, std::chrono::milliseconds timeout = std::chrono::seconds(20));

}  // namespace orv_test
