#pragma once
// Random numbers: a lagged rotate-and-add generator over two arrays of 17
// words. Each thread has its own state, taken from the program heap and
// seeded on the thread's first call from its identifier and the tick count.
#include <cstdint>

struct RandomState {
    int32_t i;
    int32_t j; // always 10 ahead of i, modulo 17
    uint32_t a[17];
    uint32_t b[17];
};

// A uniform number from 0 to maximum inclusive; maximum -1 returns all 32
// bits of one output. Uses the calling thread's generator.
int32_t RandomUpTo(int32_t maximum);

// Seeding and stepping a state of one's own (the per-thread states use
// exactly these); the same seed always gives the same sequence.
void RandomSeed(RandomState* state, uint32_t seed);
uint32_t RandomStep(RandomState* state);

// Forgets the calling thread's state, so that its next call seeds afresh.
// For tests that destroy and recreate the program heap.
void RandomForgetThreadState();
