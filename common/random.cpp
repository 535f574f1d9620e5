// The process-wide random generator and the millisecond clock that seeds it.
#include "common/random.h"

#include <chrono>

namespace pavalo {

Random& processRandom() {
    static Random generator(millisecondTicks());
    return generator;
}

uint32_t millisecondTicks() {
    using namespace std::chrono;
    auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    return static_cast<uint32_t>(ms);
}

}  // namespace pavalo
