// run_settings.h -- the settings every front end reads from its environment in the same words:
// which presenter shows the frames (RIPPLEFIELD_PRESENT) and a frozen scene (RIPPLEFIELD_FREEZE).
#pragma once

#include <cstdint>

// How frames reach the window: OpenGL, the picture drawn on the processor, or the picture where
// OpenGL is a software rasteriser or missing and OpenGL elsewhere.
enum class PresentChoice { kGl, kImage, kAuto };

// The choice that RIPPLEFIELD_PRESENT's value names ("gl", "image" or "auto"); none, or a name that
// is none of these (with one line on stderr), gives auto.
PresentChoice PickPresentChoice(const char* request);
const char* PresentChoiceName(PresentChoice choice);
// RIPPLEFIELD_FREEZE's value "SEED,MILLISECONDS": a seed of 0 to 4294967295 and a clock reading
// of -2147483648 to 2147483647, both decimal; false when the text is not that.
bool ParseFreeze(const char* text, uint32_t* seed, int32_t* milliseconds);
// Whether a GL_RENDERER string names a software rasteriser: one of Mesa's (llvmpipe, softpipe,
// swrast, which calls itself "Software Rasterizer") or Windows' own OpenGL 1.1 ("GDI Generic").
bool IsSoftwareRenderer(const char* renderer);
