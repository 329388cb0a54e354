// Counts of live objects and server locks, which decide whether the module may
// be unloaded.
#pragma once

namespace zeph::control {

void ObjectCreated();
void ObjectDestroyed();
void ServerLocked(bool lock);
bool ModuleIdle();

}  // namespace zeph::control

#include "platform/gdi.h"

namespace zeph::control {

// Identifies this module for its resources (the control's icon).
HINSTANCE ModuleInstance();

}  // namespace zeph::control
