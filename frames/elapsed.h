// elapsed.h -- each platform's clocks: the millisecond counter that the frame clock is fed from,
// its arithmetic, and a steady clock for pacing frames; each platform's file defines its own.
#pragma once

#include <cstdint>

// The elapsed-time counter: whole milliseconds since the program started, wrapping at 32 bits.
// The front ends read it once a frame and hand the reading to the model (AdvanceFrame).
int ReadElapsedMilliseconds();

// Milliseconds of a steady clock with their fractional part, from an arbitrary start.
double ReadSteadyMilliseconds();

// Processor time of the whole process in milliseconds, every thread counted (GL drivers draw on
// threads of their own).
double ReadProcessCpuMilliseconds();

// Linux: milliseconds from one reading to a later one, modulo 2^32 like the readings themselves.
int MillisecondsBetween(int start, int now);
// Windows: a span of performance-counter counts in milliseconds, modulo 2^32.
int CountsToMilliseconds(int64_t counts, int64_t frequency);
