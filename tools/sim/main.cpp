// tolvane-sim: rehearses the program on the simulated platform. Reads a scenario from
// the file named, or from standard input, and writes the transcript to standard output.
#include <fstream>
#include <iostream>

#include "platform/sqlite/sqlite_store.h"
#include "tools/sim/scenario.h"

int main(int argc, char** argv)
{
    if (argc > 2) {
        std::cerr << "usage: tolvane-sim [SCENARIO-FILE]\n";
        return 2;
    }
    std::ifstream file;
    if (argc == 2) {
        file.open(argv[1]);
        if (!file) {
            std::cerr << "tolvane-sim: cannot read " << argv[1] << "\n";
            return 2;
        }
    }
    tolvane::ScenarioRunner runner(std::cout, std::cerr, tolvane::findDefaultSettings());
    return runner.run(argc == 2 ? static_cast<std::istream&>(file) : std::cin);
}
