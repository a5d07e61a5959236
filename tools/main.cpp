// sorvelle-cli: inspect and convert Sorvelle projects without the editor.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "Commands.h"
#include "SorvelleVersion.h"

extern const TCommand InfoCommand;
extern const TCommand ExportCommand;
extern const TCommand ImportCommand;
extern const TCommand CheckCommand;
extern const TCommand AlignCommand;

const std::vector<TCommand>& Commands() {
    static const std::vector<TCommand> commands = {
        InfoCommand, ExportCommand, ImportCommand, CheckCommand, AlignCommand,
    };
    return commands;
}

static void PrintHelp(FILE* out) {
    std::fprintf(out, "usage: sorvelle-cli COMMAND [ARGS]\n\ncommands:\n");
    for (const TCommand& c : Commands()) std::fprintf(out, "  %-8s %s\n", c.name, c.summary);
    std::fprintf(out,
                 "\noptions:\n"
                 "  -h, --help   show this help\n"
                 "  --version    print the version\n"
                 "\nsorvelle-cli COMMAND --help describes a command.\n");
}

static int Run(int argc, char** argv) {
    if (argc < 2) {
        PrintHelp(stderr);
        return 2;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        PrintHelp(stdout);
        return 0;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("sorvelle-cli %s\n", SorvelleVersion);
        return 0;
    }
    for (const TCommand& c : Commands()) {
        if (std::strcmp(argv[1], c.name) == 0) return c.run(TArgs(argv + 2, argv + argc));
    }
    std::fprintf(stderr, "sorvelle-cli: unknown command '%s' (see sorvelle-cli --help)\n", argv[1]);
    return 2;
}

int main(int argc, char** argv) {
    const int code = Run(argc, argv);
    // Output that did not arrive (a full disk, a closed pipe) must not pass for a report.
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        const int error = errno;
        std::fprintf(stderr, "sorvelle-cli: cannot write to standard output%s%s\n", error != 0 ? ": " : "",
                     error != 0 ? std::strerror(error) : "");
        return std::max(code, 1);
    }
    return code;
}
