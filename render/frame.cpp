// frame.cpp -- the portable OpenGL 1.1 renderer: fixed state, band, and one quad per cell.
#include "render/frame.h"

#include "model/animation.h"
#include "model/field.h"
#include "model/scene.h"
#include "render/gl.h"
#include "render/gl_context.h"

#include <cmath>

// Filled, smooth-shaded polygons, no depth test, no dithering, back faces culled, linear fog
// configured but off. The depth test is switched on and off again on purpose: the state left is
// what counts, and the order is kept as the saver has always made it.
void InitGLState(int width, int height) {
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glShadeModel(GL_SMOOTH);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_TRUE);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 1);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_DITHER);
    glEnable(GL_CULL_FACE);
    glFogi(GL_FOG_MODE, GL_LINEAR);
    glHint(GL_FOG_HINT, GL_NICEST);
    glLineWidth(1.0f);
    glPointSize(1.0f);
    ApplyScene(width, height);
}

void ApplyScene(int width, int height) {
    SceneParams& s = g_model.scene;
    s.viewWidth = width;
    s.viewHeight = height;
    ResetScene();
    glClearColor(static_cast<float>(s.clearRed), static_cast<float>(s.clearGreen),
                 static_cast<float>(s.clearBlue), 0.0f);
    glFogfv(GL_FOG_COLOR, s.fogColor);
    glFogf(GL_FOG_START, s.fogStart);
    glFogf(GL_FOG_END, s.fogEnd);
    if (s.fogOn) {
        glEnable(GL_FOG);
    }
    SetBandViewport(width, height, 0.0);
    SetBandOrtho(width, height, 0.0);
    ClearFrame();
}

// The viewport's height and the projection's rows are truncated separately and may differ by a
// pixel; the picture has always been drawn that way.
void SetBandViewport(double width, double height, double letterbox) {
    glViewport(0, static_cast<GLint>(letterbox * height), static_cast<GLsizei>(width),
               static_cast<GLsizei>((1.0 - 2.0 * letterbox) * height));
}

void SetBandOrtho(double width, double height, double letterbox) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, static_cast<int>(width), static_cast<int>(letterbox * height),
            static_cast<int>((1.0 - letterbox) * height), -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

// glClear is not limited by the viewport, so the strips outside the band keep the clear colour.
void ClearFrame() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void RenderFrame() {
    TickClock();
    StepOscillators();
    SceneParams& s = g_model.scene;
    s.letterbox = (std::sin(2.0 * g_model.bank.phase[7]) * 0.5 + 0.5) * 0.15;
    glDepthMask(GL_FALSE);
    if (s.lightingOff) {
        glDisable(GL_LIGHTING);
    }
    SetBandViewport(s.viewWidth, s.viewHeight, s.letterbox);
    SetBandOrtho(s.viewWidth, s.viewHeight, s.letterbox);
    ClearFrame();
    DrawField();
}

// Counter-clockwise on screen, so that back-face culling keeps every quad.
static void EmitRowImmediate(const FieldRow& row, void*) {
    for (int i = 0; i < row.columns; ++i) {
        const float* c = row.rgb + 3 * i;
        const int x = row.edges[i];
        const int x2 = row.edges[i + 1];
        glColor3f(c[0], c[1], c[2]);
        glVertex2i(x, row.y);
        glVertex2i(x2, row.y);
        glVertex2i(x2, row.y2);
        glVertex2i(x, row.y2);
    }
}

void DrawField() {
    FieldFrame frame;
    PrepareFieldFrame(&frame);
    glBegin(GL_QUADS);
    WalkField(frame, EmitRowImmediate, nullptr);
    glEnd();
}

void PresentFrame(void* device) {
    RenderFrame();
    SwapGLBuffers(device);
}
