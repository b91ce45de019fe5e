// What the programs' option parsers and mains share: an option's value, an option given twice,
// and the answer to --help and --version.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The value after the option args[i], advancing i past it; false, with "<option> needs a value"
// in `error`, when no argument is left.
bool TakeOptionValue(const std::vector<std::string>& args, size_t& i, std::string* value, std::string* error);

// False, with "<option> given twice" in `error`, when the option was `already` given.
bool FirstTime(const std::string& option, bool already, std::string* error);

// Prints `helpText`, or "<program> <version>", when asked; true when the program is then done
// (exit status 0).
bool AnswerHelpOrVersion(bool help, bool version, const char* helpText, const char* program);

// "<program>: <error>" as one terminal-safe line on standard error, then the usage text;
// returns 2, the status of a usage error.
int UsageError(const char* program, const std::string& error, const char* usage);

// "<program>: <line>" as one terminal-safe line on standard error; returns 1, the status of a
// bad input or an output that could not be written.
int FailLine(const char* program, const std::string& line);
