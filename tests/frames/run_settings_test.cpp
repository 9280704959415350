// run_settings_test.cpp -- RIPPLEFIELD_PRESENT's values and which GL renderers draw on the
// processor (RIPPLEFIELD_FREEZE's values are checked with the display mode's options).
#include <gtest/gtest.h>

#include "frames/run_settings.h"

TEST(RunSettings, SoftwareRenderersAreMesasAndWindowsOwn) {
    EXPECT_TRUE(IsSoftwareRenderer("llvmpipe (LLVM 15.0.6, 256 bits)"));
    EXPECT_TRUE(IsSoftwareRenderer("Software Rasterizer"));
    EXPECT_TRUE(IsSoftwareRenderer("softpipe"));
    EXPECT_TRUE(IsSoftwareRenderer("GDI Generic"));
    EXPECT_FALSE(IsSoftwareRenderer("NVIDIA GeForce RTX 3060/PCIe/SSE2"));
    EXPECT_FALSE(IsSoftwareRenderer("AMD Radeon RX 6600 (radeonsi, navi23, LLVM 15.0.6)"));
    EXPECT_FALSE(IsSoftwareRenderer(nullptr));
}

TEST(RunSettings, PresentChoiceNamesItsWordsAndFallsBackToAuto) {
    EXPECT_EQ(PickPresentChoice("gl"), PresentChoice::kGl);
    EXPECT_EQ(PickPresentChoice("image"), PresentChoice::kImage);
    EXPECT_EQ(PickPresentChoice(nullptr), PresentChoice::kAuto);
    EXPECT_EQ(PickPresentChoice("GL"), PresentChoice::kAuto);
    EXPECT_STREQ(PresentChoiceName(PresentChoice::kImage), "image");
}
