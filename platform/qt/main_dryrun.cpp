// tolvane-dryrun: the desktop program with every power request printed, not performed.
#include "platform/qt/program_main.h"

int main(int argc, char** argv)
{
    return tolvane::programMain(argc, argv, tolvane::PowerMode::DryRun);
}
