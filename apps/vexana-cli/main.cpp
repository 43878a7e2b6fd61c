#include "Command.h"

#include <algorithm>
#include <cstring>
#include <iostream>

namespace {

void printHelp(std::ostream& out) {
    out << "Usage: vexana-cli COMMAND [ARGS...]\n"
           "Works on VEXANA project files without a window.\n\n"
           "Commands:\n";
    const auto commands = vexana::cli::allCommands();
    std::size_t width = 0;
    for (const auto& c : commands)
        width = std::max(width, std::strlen(c->name()) + 2);
    for (const auto& c : commands) {
        std::string n = c->name();
        n.resize(width, ' '); // never shorter than the name
        out << "  " << n << c->summary() << "\n";
    }
    out << "\n'vexana-cli COMMAND --help' describes one command.\n"
           "Exit status: 0 on success, 1 when the operation failed, 2 for wrong arguments.\n";
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        printHelp(argc < 2 ? std::cerr : std::cout);
        return argc < 2 ? 2 : 0;
    }
    const std::string name = argv[1];
    for (auto& c : vexana::cli::allCommands()) {
        if (name == c->name()) {
            std::vector<std::string> args(argv + 2, argv + argc);
            {
                const int status = c->run(args, std::cout, std::cerr);
                std::cout.flush();
                if (!std::cout) {
                    std::cerr << "The output cannot be written.\n";
                    return 1;
                }
                return status == 0 && vexana::cli::ConsoleUserInterface::stopsShown() > 0 ? 1
                                                                                          : status;
            }
        }
    }
    std::cerr << "Unknown command: " << name << "\n";
    printHelp(std::cerr);
    return 2;
}
