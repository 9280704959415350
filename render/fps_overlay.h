// fps_overlay.h -- the readout (frames/fps_counter.h) drawn over a GL frame with GL 1.1 bitmaps of
// its font (picture/font.h).
#pragma once

// Draws text (lines split at '\n') in the view's lower-left corner, white on a black shadow, and
// leaves the GL state as it found it. Characters without a glyph show as spaces.
void DrawFpsOverlay(const char* text, int width, int height);
