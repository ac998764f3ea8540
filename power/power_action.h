#pragma once
#include <cstdint>

#include "platform/services.h"

namespace tolvane {

// The five actions, numbered as everywhere in the program; 0 is none.
// Scoped, so that its names never meet X11's None macro whatever the order of includes.
enum class PowerAction : int16_t { None = 0, Shutdown = 1, Restart = 2, LogOff = 3, Hibernate = 4, StandBy = 5 };

// The number of an action, as stored and passed between the parts of the program.
constexpr int16_t actionCode(PowerAction action)
{
    return static_cast<int16_t>(action);
}

// Makes the one operating-system call of the action and ignores its result. Any number
// outside 1 to 5 calls nothing. No window or timer is touched.
void RunPowerAction(PowerApi& power, int16_t action);

}  // namespace tolvane
