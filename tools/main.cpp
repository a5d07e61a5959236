// sorvelle-cli: inspect and convert Sorvelle projects without the editor.
#include <cstdio>
#include <cstring>

#include "Commands.h"

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
    std::fprintf(out, "\nsorvelle-cli COMMAND --help describes a command.\n");
}

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintHelp(stderr);
        return 2;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        PrintHelp(stdout);
        return 0;
    }
    for (const TCommand& c : Commands()) {
        if (std::strcmp(argv[1], c.name) == 0) return c.run(TArgs(argv + 2, argv + argc));
    }
    std::fprintf(stderr, "sorvelle-cli: unknown command '%s' (see sorvelle-cli --help)\n", argv[1]);
    return 2;
}
