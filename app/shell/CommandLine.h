// The viewer takes no options of its own; it answers --help and --version (for the manual
// page and the package) before it looks for a display.
#pragma once

// When the command line is exactly one of -h, --help or --version: prints the answer on
// standard output and returns the exit status (0). Otherwise returns -1 and prints nothing.
int AnswerInfoOption(int argc, char** argv);
