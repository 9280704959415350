// Field value, colour ramp and the walk over the cells.
#include "model_fixture.h"

#include <vector>

#include "cells.h"
#include "model/field.h"

namespace {
#include "reference_data.inc"

std::vector<FieldCell> WalkView(ModelState& model, int width, int height, double letterbox) {
    model.scene.viewWidth = width;
    model.scene.viewHeight = height;
    model.scene.letterbox = letterbox;
    return CollectCells(model);
}

// Blob parameters that put every sine at sin(phase): no ripple, a chosen value.
FieldFrame FlatField(double phase) {
    FieldFrame frame{};
    frame.freq = 10.0;
    frame.blobCount = 7;
    for (int j = 0; j < 7; ++j) {
        frame.blob[4 * j + 0] = 0.3;
        frame.blob[4 * j + 1] = -0.2;
        frame.blob[4 * j + 2] = 0.0;
        frame.blob[4 * j + 3] = phase;
    }
    return frame;
}
} // namespace

using FieldTest = ModelTest;

TEST_F(FieldTest, RampAnchorsAtTheExtremesAndTheMiddle) {
    const CellColor top = ShadeCell(1.0);
    EXPECT_EQ(top.r, 1.0);
    EXPECT_EQ(top.g, 0.82);
    EXPECT_EQ(top.b, 0.78);
    const CellColor bottom = ShadeCell(0.0);
    EXPECT_EQ(bottom.r, 1.0);
    EXPECT_EQ(bottom.g, 0.78);
    EXPECT_EQ(bottom.b, 0.74);
    const CellColor middle = ShadeCell(0.5); // the middle belongs to the lower branch
    EXPECT_EQ(middle.r, 0.4);
    EXPECT_EQ(middle.g, 0.0);
    EXPECT_EQ(middle.b, 0.0);
    // A quarter above and below the middle: s = sqrt(0.5).
    const double s = 0.70710678118654752;
    const CellColor above = ShadeCell(0.75);
    EXPECT_TRUE(Close(above.r, (1 - s) * 0.4 + s));
    EXPECT_TRUE(Close(above.g, s * 0.82));
    const CellColor below = ShadeCell(0.25);
    EXPECT_TRUE(Close(below.g, s * 0.78));
    EXPECT_TRUE(Close(below.b, s * 0.74));
}

TEST_F(FieldTest, FieldValueAveragesTheSines) {
    EXPECT_TRUE(Close(FieldValue(FlatField(1.5707963267948966), 0.1, 0.2), 1.0));
    EXPECT_TRUE(Close(FieldValue(FlatField(-1.5707963267948966), 0.7, 0.4), 0.0));
    EXPECT_TRUE(Close(FieldValue(FlatField(0.0), 0.5, 0.5), 0.5));
    // One blob at distance 0.5 (a 3-4-5 triangle scaled by 0.1) with frequency 2 and no offset.
    FieldFrame frame{};
    frame.freq = 2.0;
    frame.blobCount = 1;
    frame.blob[0] = 0.1;
    frame.blob[1] = 0.2;
    frame.blob[2] = 1.0;
    frame.blob[3] = 0.0;
    EXPECT_TRUE(Close(FieldValue(frame, 0.4, 0.6), std::sin(1.0) * 0.5 + 0.5));
}

TEST_F(FieldTest, FrameQuantitiesComeFromTheBank) {
    ResetScene(model);
    model.scene.viewWidth = 800;
    model.scene.viewHeight = 600;
    model.scene.letterbox = 0.1;
    FieldFrame frame;
    PrepareFieldFrame(model, &frame);
    EXPECT_EQ(frame.yStart, 60);
    EXPECT_EQ(frame.yEnd, 540);
    EXPECT_TRUE(Close(frame.freq, (std::sin(model.bank.phase[8]) * 0.5 + 0.5) * 14.0 + 4.0));
    for (int k = 0; k < 28; ++k) {
        EXPECT_TRUE(Close(frame.blob[k], std::sin(model.bank.phase[k + 10]))) << k;
    }
    EXPECT_TRUE(Close(frame.rowScale * 540, 0.45));
}

TEST_F(FieldTest, WalkRunsRowsUpAndColumnsRightPastTheEdge) {
    ResetScene(model);
    const std::vector<FieldCell> cells = WalkView(model, 1000, 36, 0.0);
    // 167 columns (0, 6, ..., 996) by 6 rows (0, 6, ..., 30).
    ASSERT_EQ(cells.size(), 167u * 6u);
    EXPECT_EQ(cells[0].x, 0);
    EXPECT_EQ(cells[0].y, 0);
    EXPECT_EQ(cells[166].x, 996);
    EXPECT_EQ(cells[166].x2, 1002); // clipped by the viewport, not by the walk
    EXPECT_EQ(cells[167].x, 0);
    EXPECT_EQ(cells[167].y, 6);
    EXPECT_EQ(cells.back().y, 30);
    EXPECT_EQ(cells.back().y2, 36);
    for (size_t i = 0; i < cells.size(); ++i) {
        const FieldCell& c = cells[i];
        ASSERT_EQ(c.x2 - c.x, 6) << i;
        ASSERT_EQ(c.y2 - c.y, 6) << i;
        if (i % 167 != 0) {
            ASSERT_EQ(c.x, cells[i - 1].x2) << i;
            ASSERT_EQ(c.y, cells[i - 1].y) << i;
        }
    }
}

TEST_F(FieldTest, LetterboxLimitsTheRows) {
    ResetScene(model);
    // H = 768, L = 0.15: rows from 115 up to below 652.
    const std::vector<FieldCell> cells = WalkView(model, 12, 768, 0.15);
    ASSERT_FALSE(cells.empty());
    EXPECT_EQ(cells.front().y, 115);
    EXPECT_EQ(cells.back().y, 115 + 6 * 89); // 649: the last row starting below 652
    EXPECT_EQ(cells.back().y2, 655);
    EXPECT_EQ(cells.size(), 2u * 90u);
}

TEST_F(FieldTest, EmptyViewsHaveNoCells) {
    ResetScene(model);
    EXPECT_TRUE(WalkView(model, 0, 768, 0.0).empty());
    EXPECT_TRUE(WalkView(model, 1024, 0, 0.0).empty());
    EXPECT_TRUE(WalkView(model, 1024, 768, 0.5).empty()); // yEnd equals yStart
    EXPECT_TRUE(WalkView(model, 1024, 1, 0.15).empty());
    EXPECT_EQ(WalkView(model, 1, 1, 0.0).size(), 1u);
}

TEST_F(FieldTest, CellsMatchAnIndependentComputation) {
    ResetScene(model); // the defaults, then the phases of the independent run
    for (int i = 0; i < 45; ++i) {
        model.bank.phase[i] = kRunPhase[i];
    }
    const std::vector<FieldCell> cells = WalkView(model, 100, 70, kRunLetterbox);
    ASSERT_EQ(static_cast<int>(cells.size()), kSmallCellCount);
    for (int i = 0; i < kSmallCellCount; ++i) {
        const FieldCell& c = cells[i];
        EXPECT_EQ(c.x, kSmallCorners[4 * i]) << i;
        EXPECT_EQ(c.y, kSmallCorners[4 * i + 1]) << i;
        EXPECT_EQ(c.x2, kSmallCorners[4 * i + 2]) << i;
        EXPECT_EQ(c.y2, kSmallCorners[4 * i + 3]) << i;
        for (int k = 0; k < 3; ++k) {
            EXPECT_TRUE(SameColor(c.rgb[k], kSmallColors[3 * i + k])) << i << " channel " << k;
        }
    }
}
