#pragma once
// The process's pseudo-random generator: the classic 24-bit linear congruential
// generator of the Basic runtimes. It is never seeded, so every run draws the same
// sequence, as the program's tray identities expect.
#include <cstdint>

namespace tolvane {

class Rnd {
public:
    // The next number, 0 <= r < 1.
    double next()
    {
        seed_ = (seed_ * 0x43FD43FDu + 0xC39EC3u) & 0xFFFFFFu;
        return static_cast<double>(seed_) / 16777216.0;
    }

private:
    uint32_t seed_ = 0x50000u;
};

}  // namespace tolvane
