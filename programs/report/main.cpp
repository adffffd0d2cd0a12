// hoardscan-report: imports Hoardscan result files into a database and reports on them.

#include "report/Commands.h"

#include <exception>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) try {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return Quilna::Commands::run(Quilna::platform(), arguments, std::cout, std::cerr);
} catch (const std::exception& failure) {
    // The commands answer their own failures; this is only memory for the arguments.
    std::cerr << "hoardscan-report: " << failure.what() << '\n';
    return 2;
}
