// zelt: checks zelt texts and shows their elements as lines, XML or JSON.
#include <charconv>
#include <csignal>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#include "commands.h"
#include "diagnostics.h"
#include "output.h"

namespace {

using zelt_tool::Status;

constexpr std::string_view helpText =
    "Usage: zelt COMMAND [OPTION]... FILE...\n"
    "Checks zelt texts and shows their elements. FILE - is standard input.\n"
    "\n"
    "Commands:\n"
    "  check FILE...    report the first element that cannot be read in each file\n"
    "  list FILE        one line per element: line, tag, Name, Idx, value (tab-separated)\n"
    "  xml FILE         the elements as an XML document\n"
    "  json FILE        the elements as JSON Lines\n"
    "  --help           show this help\n"
    "  --version        show the version of zelt\n"
    "\n"
    "Options of list:\n"
    "  --max-value N    show at most N bytes of each value, then \"...\"\n"
    "\n"
    "Exit status: 0 when every text is good; 1 when a text holds an element\n"
    "that cannot be read; 2 for a usage error, a file that cannot be read or\n"
    "output that cannot be written.\n";

struct Arguments {
    std::vector<const char*> paths;
    long maxValue = -1;
};

struct Command {
    std::string_view name;
    bool manyFiles;
    bool takesMaxValue;
    Status (*run)(const Arguments& arguments);
};

constexpr Command commands[] = {
    {"check", true, false, [](const Arguments& a) { return zelt_tool::runCheck(a.paths); }},
    {"list", false, true, [](const Arguments& a) { return zelt_tool::runList(a.paths[0], a.maxValue); }},
    {"xml", false, false, [](const Arguments& a) { return zelt_tool::runXml(a.paths[0]); }},
    {"json", false, false, [](const Arguments& a) { return zelt_tool::runJson(a.paths[0]); }},
};

Status usageError(const std::string& problem) {
    zelt_tool::complain("zelt: " + problem + "\nTry 'zelt --help' for more information.");
    return zelt_tool::failure;
}

// Writes @p text to standard output, failure when it cannot be written.
Status show(std::string_view text) {
    zelt_tool::Output out(STDOUT_FILENO);
    out.write(text);
    return zelt_tool::finishOutput(out);
}

bool parseCount(std::string_view text, long& count) {
    const char* const end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, count);
    return error == std::errc() && stop == end && count >= 0;
}

Status run(int argc, char** argv) {
    if (argc < 2) {
        return usageError("no command given");
    }
    const std::string_view name = argv[1];
    if (name == "--help" || name == "-h") {
        return show(helpText);
    }
    if (name == "--version") {
        return show("zelt " ZELT_VERSION "\n");
    }
    const Command* command = nullptr;
    for (const Command& candidate : commands) {
        command = candidate.name == name ? &candidate : command;
    }
    if (command == nullptr) {
        return usageError("unknown command '" + std::string(name) + "'");
    }

    Arguments arguments;
    bool options = true;
    for (int i = 2; i < argc; ++i) {
        const std::string_view argument = argv[i];
        constexpr std::string_view maxValue = "--max-value";
        constexpr std::string_view maxValueIs = "--max-value=";
        if (!options || argument == "-" || argument.empty() || argument[0] != '-') {
            arguments.paths.push_back(argv[i]);
        } else if (argument == "--") {
            options = false;
        } else if (argument == "--help" || argument == "-h") {
            return show(helpText);
        } else if (command->takesMaxValue &&
                   (argument == maxValue || argument.substr(0, maxValueIs.size()) == maxValueIs)) {
            std::string_view count;
            if (argument != maxValue) {
                count = argument.substr(maxValueIs.size());
            } else if (i + 1 < argc) {
                count = argv[++i];
            } else {
                return usageError("option '--max-value' needs a number: --max-value N");
            }
            if (!parseCount(count, arguments.maxValue)) {
                return usageError("--max-value takes a count of bytes, not '" + std::string(count) + "'");
            }
        } else {
            return usageError("unknown option '" + std::string(argument) + "' for " + std::string(name));
        }
    }
    if (arguments.paths.empty()) {
        return usageError(std::string(name) + " needs a FILE (- for standard input)");
    }
    if (!command->manyFiles && arguments.paths.size() > 1) {
        return usageError(std::string(name) + " takes one FILE");
    }
    return command->run(arguments);
}

} // namespace

int main(int argc, char** argv) {
    // A reader that goes away shows as EPIPE on write, which ends the output
    // quietly; a file-size limit as EFBIG, reported as any write error.
    (void)std::signal(SIGPIPE, SIG_IGN);
    (void)std::signal(SIGXFSZ, SIG_IGN);
    try {
        return run(argc, argv);
    } catch (const std::exception& exception) { // memory running out beyond a file's load
        zelt_tool::complain(std::string("zelt: ") + exception.what());
        return zelt_tool::failure;
    }
}
