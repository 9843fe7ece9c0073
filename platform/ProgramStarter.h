#pragma once

// Starting a command line the way the desktop this program came from does it: the program
// is found by the loader's rules, the arguments are split by the command-line rules of
// that platform's C runtime, and no shell ever sees the text, so "$", ";" and backquotes
// reach the program literally.

#include "platform/Platform.h"

#include <string>
#include <string_view>
#include <vector>

namespace sentrel {

// Splits argument text by the command-line rules: blanks (space, tab) separate arguments
// outside double quotes; a double quote toggles quoting and is dropped; inside quotes a
// doubled quote is one literal quote; 2n backslashes before a quote give n backslashes
// and the quote acts, 2n+1 give n backslashes and a literal quote; other backslashes are
// literal.
std::vector<std::string> SplitArguments(std::string_view text);

struct ParsedCommandLine {
    std::string program;                // path of the executable; empty when none is found
    std::vector<std::string> arguments; // the arguments after it, without the program
};

// Finds the program of a command line and splits the rest. A quoted program is the text
// up to the closing quote. An unquoted one may hold blanks: the shortest blank-separated
// prefix that names an executable file wins (and the rest are arguments). A name without
// a slash is looked up along PATH.
ParsedCommandLine ParseCommandLine(const std::string& commandLine);

// Starts a program without waiting for it and without a shell. A `program` that holds a
// slash and names an existing file is run as it is, even when a shorter prefix of it
// names a program too; any other text is a command line for ParseCommandLine. The
// program gets its own session, is not a child of this process (so it never lingers as a
// zombie) and outlives it; it inherits the environment, the working folder and the
// standard streams, but no other open file and no blocked or ignored signal.
class PosixProgramStarter : public IProgramStarter {
public:
    // False when no program was found or it could not be executed.
    bool Start(const std::string& program, const std::string& arguments) override;
};

} // namespace sentrel
