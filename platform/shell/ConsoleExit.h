#pragma once
// How the console tools end: the closing key wait and the exit code.
#include <cstdint>
#include <string>

namespace vlt {

// When standard input is a terminal: prints the prompt to standard output
// and waits for one key press without echo; true when it waited. Without a
// terminal (an installer's pipe) nothing is printed and nothing waits.
bool WaitForKeyOnTerminal(const std::string& prompt);

// 0 for result 0; a negative result as 256 plus it (-1 gives 255); any
// other result (a count of failures) as 1.
int ExitCodeOf(int32_t result);

} // namespace vlt
