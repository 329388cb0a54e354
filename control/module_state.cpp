#include "control/module_state.h"

#include <atomic>

namespace zeph::control {
namespace {

std::atomic<int> liveObjects{0};
std::atomic<int> serverLocks{0};

}  // namespace

void ObjectCreated() {
    ++liveObjects;
}
void ObjectDestroyed() {
    --liveObjects;
}
void ServerLocked(bool lock) {
    lock ? ++serverLocks : --serverLocks;
}
bool ModuleIdle() {
    return liveObjects == 0 && serverLocks == 0;
}

HINSTANCE ModuleInstance() {
    static const char marker = 0;
    return &marker;
}

}  // namespace zeph::control
