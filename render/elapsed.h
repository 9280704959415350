// elapsed.h -- the arithmetic of each platform's millisecond counter behind
// ReadElapsedMilliseconds; each platform's file defines its own.
#pragma once

#include <cstdint>

// GLUT: milliseconds from one reading to a later one, modulo 2^32 like the readings themselves.
int MillisecondsBetween(int start, int now);
// Windows: a span of performance-counter counts in milliseconds, modulo 2^32.
int CountsToMilliseconds(int64_t counts, int64_t frequency);
