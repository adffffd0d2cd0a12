// hoardscan-report: imports Hoardscan result files into a database and reports on them.

#include "tools/report/Commands.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return Quilna::Commands::run(arguments, std::cout, std::cerr);
}
