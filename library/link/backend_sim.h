// The in-process simulated box behind the "sim" backend.
#pragma once
#include "link/port.h"

namespace tvsim {
class Box;
}

// The box the sim backend drives (null before the first sim driver_load).
tvsim::Box* sim_box();
// Tests: drive this box (not owned) from now on; null forgets the box, so
// that the next sim driver_load builds one from the environment again.
void sim_attach_box(tvsim::Box* box);
