// model_fixture.h -- a fresh model state for every test, and the comparison that holds on every
// build (x87 and SSE arithmetic differ in the last bits).
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "model/scene.h"

class ModelTest : public ::testing::Test {
  protected:
    ModelState model{};
};

// Same value to 1e-12 relative (absolute near zero).
inline ::testing::AssertionResult Close(double actual, double expected) {
    const double scale = std::fabs(expected) > 1.0 ? std::fabs(expected) : 1.0;
    if (std::fabs(actual - expected) <= 1e-12 * scale) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << actual << " differs from " << expected << " by " << actual - expected;
}

// Same float, or the neighbouring one when an x87 intermediate rounded the other way.
inline ::testing::AssertionResult SameColor(float actual, float expected) {
    if (actual == expected || std::nextafter(expected, 2.0f) == actual ||
        std::nextafter(expected, -2.0f) == actual) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << actual << " is not " << expected;
}

// Number of generator steps from one state to another (the draws made in between).
inline int DrawsBetween(uint32_t from, uint32_t to) {
    for (int n = 0; n < 100000; ++n) {
        if (from == to) {
            return n;
        }
        from = from * 214013u + 2531011u;
    }
    return -1;
}
