#pragma once

// Milliseconds since the kernel started this process, so that loading the libraries before main
// counts too (the start time in /proc/self/stat, in clock ticks of 10 ms since boot); -1 when it
// cannot be read. Used by the start-up measurements of the program and of its benchmark floor.
double msSinceProcessStart();
