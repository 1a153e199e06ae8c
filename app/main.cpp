// tessarinth: the pen-first day planner. It takes no arguments but --version.
#include <cstring>
#include <iostream>

#include "app/startup.h"
#include "program_version.h"

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::cout << "tessarinth " << kProgramVersion << "\n";
        return 0;
    }
    return app::RunPlanner(argc, argv);
}
