// tessarinth: the pen-first day planner. It takes no arguments.
#include "app/startup.h"

int main(int argc, char** argv) {
    return app::RunPlanner(argc, argv);
}
