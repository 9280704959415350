// picture.h -- the GL presenter: the display mode's picture in its view through the renderer's few
// calls, as the X11 loop makes them (the counterpart of the Windows saver's hooks).
#pragma once

// Attaches the GL context to the view (an X11View), sets the fixed state and starts a freshly
// randomised scene of the given size. False when there is no context; the view then says why.
bool StartPicture(void* view, int width, int height, bool showFps, double nowMs, double cpuMs);
// A new view size: the band, the viewport and the frame's buffers follow, the animation goes on.
void ResizePicture(int width, int height);
// Advances the model to a reading of the counter, draws the frame (and the readout) and shows it.
void DrawPicture(int frameMs, double nowMs, double cpuMs);
void StopPicture(void* view);
// The GL_RENDERER string of the picture's context.
const char* PictureRenderer();
