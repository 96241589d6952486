// The driver's serve mode: one process for a whole test script, so that each
// command costs a line on a pipe instead of a Wine process start.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace uidriver {

// Marks the lines of a command's error text in the answer stream.
constexpr char kErrorMark = '\x1d';
// Begins the line that ends each answer: mark, token, space, exit code.
constexpr char kEndMark = '\x1e';
// Separates the fields of a command line: token, command, arguments.
constexpr char kFieldMark = '\x1f';

using Command = std::function<int(const std::vector<std::wstring>& arguments)>;

// Reads commands from standard input, one a line (UTF-8 fields separated by
// kFieldMark, the first an opaque token), runs each and writes its output,
// then kEndMark, the token and the exit code on a line of their own. Ends at
// the end of input or after idleMs without a command.
int Serve(DWORD idleMs, const Command& run);

// The fields of one command line, UTF-8 to UTF-16.
std::vector<std::wstring> SplitFields(const std::string& line);

} // namespace uidriver
