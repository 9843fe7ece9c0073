#pragma once

// One sentrelctl command: its name, the arguments it takes and the function that runs it.
// Each group of commands hands main() a table of these.

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace sentrel::tools {

struct Command {
    std::string_view name;
    std::string_view arguments; // as shown in the usage text, e.g. "STORE OUT"
    std::string_view summary;
    std::size_t minArguments;
    std::size_t maxArguments;
    // Runs with the arguments after the command name; returns the exit code.
    int (*run)(const std::vector<std::string>& arguments);
};

// Thrown by a command for arguments it cannot use (a missing file, a bad number): main()
// prints the message and the usage and exits with 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Thrown by a command for input it cannot take (a mistake in a JSON store, an output that
// is there already): main() prints the message, without the usage, and exits with 2.
class InputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace sentrel::tools
