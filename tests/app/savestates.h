#pragma once

#include "systemparams.h"

// Two parameter states that differ in the first, middle and last keys, so a
// save interrupted half-way would show as a mix of them.
inline SystemParams otherState(SystemParams p) {
    p.finished_product_detect += 1;
    p.expose_time[0] += 1;
    p.gamma[0] += 1;
    p.angle = (p.angle + 1) % 180;
    p.timed_capture ^= 1;
    p.cnt_net[7] += 1;
    p.cnt_operator += "x";
    return p;
}
