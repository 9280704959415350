// elapsed.h -- each platform's clocks: the arithmetic of the millisecond counter behind
// ReadElapsedMilliseconds, and a steady clock for pacing frames; each platform's file defines its
// own.
#pragma once

#include <cstdint>

// Milliseconds of a steady clock with their fractional part, from an arbitrary start.
double ReadSteadyMilliseconds();

// Linux: milliseconds from one reading to a later one, modulo 2^32 like the readings themselves.
int MillisecondsBetween(int start, int now);
// Windows: a span of performance-counter counts in milliseconds, modulo 2^32.
int CountsToMilliseconds(int64_t counts, int64_t frequency);
