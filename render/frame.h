// frame.h -- fixed GL state, the band viewport and projection, and the drawing of one frame.
#pragma once

void InitGLState(int width, int height);
void ApplyScene(int width, int height);
void SetBandViewport(double width, double height, double letterbox);
void SetBandOrtho(double width, double height, double letterbox);
void ClearFrame();
// Advances the model and draws one frame into the back buffer.
void RenderFrame();
void DrawField();
// RenderFrame, then shows it.
void PresentFrame(void* device);

// How DrawField hands its quads to GL: one glBegin/glEnd of immediate calls, or the same quads,
// colours and order from client arrays in one glDrawArrays.
enum class SubmitMode { kImmediate, kBatched };

const char* SubmitModeName(SubmitMode mode);
// The mode a request names ("immediate" or "batched"; null or empty for none). No request, or a
// name that is neither (with one line on stderr), gives the batched mode.
SubmitMode PickSubmitMode(const char* request);
void SelectSubmitMode(SubmitMode mode);
// The mode in use; on first use picked from RIPPLEFIELD_SUBMIT.
SubmitMode ActiveSubmitMode();
