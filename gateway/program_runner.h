#pragma once

#include <string>
#include <vector>

namespace qvx::gateway {

/// What one run of another program gave.
struct ProgramResult {
    int startError = 0;  // errno value when the program could not be started, else 0
    int exitCode = -1;   // its exit code; -1 when it did not exit normally (or did not start)
    std::string out;     // everything it wrote to standard output
    std::string err;     // everything it wrote to standard error

    /// True when it started and exited with code 0.
    [[nodiscard]] bool succeeded() const { return startError == 0 && exitCode == 0; }
};

/// Runs `arguments` (the program first, looked up in PATH when it has no '/') with standard
/// input from /dev/null, collects its output, and waits for it to end. The child starts with
/// no blocked signals and default signal handling, whatever the caller has set up.
[[nodiscard]] ProgramResult runProgram(const std::vector<std::string>& arguments);

/// The message a failed program left: its standard error with blanks at both ends removed
/// and line breaks turned into spaces; failing that, a text with the exit code.
[[nodiscard]] std::string failureText(const ProgramResult& result);

}  // namespace qvx::gateway
