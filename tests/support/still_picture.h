// still_picture.h -- what ripplefield-render draws for one reading, drawn in the test's own
// process.
#pragma once

#include <cstdint>
#include <vector>

#include "model/field.h"

// The picture of a fresh scene of that size and seed stepped to one reading of the counter, as
// ripplefield-render --seed SEED --ticks MS draws it, in that pixel layout, rows from the top.
std::vector<uint32_t> StillPicture(int width, int height, uint32_t seed, int milliseconds,
                                   const TexelLayout& layout);
