// tolvane: the Linux desktop program.
#include "platform/qt/program_main.h"

int main(int argc, char** argv)
{
    return tolvane::programMain(argc, argv, tolvane::PowerMode::Real);
}
