#pragma once

#include <cstdint>
#include <random>

// Draws a shuffle order into order[1..n]: each of the tracks 1..n once, uniformly at random.
// With `first` between 1 and n, entry 1 is `first` and entries 2..n are drawn. Each entry is drawn
// uniformly from 1..n and drawn again while an earlier entry holds the same track. Entries above
// n are left as they are.
void drawShuffleOrder(int *order, int n, int first, std::mt19937 &random);

// A generator seeded from the time of day in milliseconds.
std::mt19937 clockSeededGenerator();
