#include "tools/files/CommandLine.h"

#include "tools/files/TerminalText.h"

#include <cstdio>

bool TakeOptionValue(const std::vector<std::string>& args, size_t& i, std::string* value, std::string* error) {
    if (i + 1 >= args.size()) {
        *error = args[i] + " needs a value";
        return false;
    }
    *value = args[++i];
    return true;
}

bool FirstTime(const std::string& option, bool already, std::string* error) {
    if (already) *error = option + " given twice";
    return !already;
}

bool AnswerHelpOrVersion(bool help, bool version, const char* helpText, const char* program) {
    if (help) {
        std::fputs(helpText, stdout);
        return true;
    }
    if (version) {
        std::printf("%s %s\n", program, QM_VERSION);
        return true;
    }
    return false;
}

int UsageError(const char* program, const std::string& error, const char* usage) {
    PrintErrorLine(std::string(program) + ": " + error);
    std::fputs(usage, stderr);
    return 2;
}

int FailLine(const char* program, const std::string& line) {
    PrintErrorLine(std::string(program) + ": " + line);
    return 1;
}
