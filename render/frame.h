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
