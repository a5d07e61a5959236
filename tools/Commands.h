#pragma once
// Subcommands of sorvelle-cli. Each takes the arguments after its name and returns the exit code.

#include <string>
#include <vector>

using TArgs = std::vector<std::string>;

struct TCommand {
    const char* name;
    const char* summary;
    int (*run)(const TArgs& args);
};

// Every subcommand, in the order --help lists them.
const std::vector<TCommand>& Commands();
