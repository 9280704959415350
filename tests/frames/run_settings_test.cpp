// run_settings_test.cpp -- RIPPLEFIELD_PRESENT's and RIPPLEFIELD_FREEZE's values, and which GL
// renderers draw on the processor.
#include <gtest/gtest.h>

#include "frames/run_settings.h"

TEST(RunSettings, FreezeTakesTwoDecimalNumbersInRange) {
    const struct {
        const char* text;
        bool ok;
        uint32_t seed;
        int32_t ms;
    } cases[] = {
        {"2027,700", true, 2027, 700},
        {"4294967295,-2147483648", true, 4294967295u, INT32_MIN},
        {"0,2147483647", true, 0, INT32_MAX},
        {"4294967296,0", false, 0, 0},
        {"1,2147483648", false, 0, 0},
        {"7", false, 0, 0},
        {",5", false, 0, 0},
        {"5,", false, 0, 0},
        {"5,-", false, 0, 0},
        {"+5,5", false, 0, 0},
        {"5,5,5", false, 0, 0},
        {"0x10,5", false, 0, 0},
    };
    for (const auto& c : cases) {
        uint32_t seed = 1;
        int32_t ms = 1;
        EXPECT_EQ(ParseFreeze(c.text, &seed, &ms), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(seed, c.seed) << c.text;
            EXPECT_EQ(ms, c.ms) << c.text;
        }
    }
}

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
