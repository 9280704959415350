// frame.cpp -- the portable OpenGL 1.1 renderer: fixed state, band, and one quad per cell.
#include "render/frame.h"

#include "model/animation.h"
#include "model/field.h"
#include "model/scene.h"
#include "render/gl.h"
#include "render/gl_context.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {
bool g_submitChosen = false;
SubmitMode g_submitMode = SubmitMode::kBatched;

// The client arrays of the batched mode, kept from frame to frame. The corners depend only on the
// band's rows and the columns, which change rarely, so they are written again only then. The
// colours go to GL a few thousand cells at a time, while they are still in the cache.
struct QuadBatch {
    // The integer corners as floats: exact, and the format every driver takes as it is.
    std::vector<GLfloat> corners; // 4 vertices of 2 coordinates per cell of the frame
    std::vector<GLfloat> colours; // the cell's colour at each of its 4 vertices, for one draw
    int cells;                    // cells of this frame so far
    int drawn;                    // of which already drawn
    bool writeCorners;
    bool haveCorners; // corners of the walk below are in place
    int width, yStart, yEnd;
    double cellSize;
};
constexpr int kCellsPerDraw = 4096;
QuadBatch g_batch = {};
} // namespace

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

// Draws the cells collected since the last draw.
static void DrawBatchedCells(QuadBatch* b) {
    if (b->cells == b->drawn) {
        return;
    }
    glVertexPointer(2, GL_FLOAT, 0, &b->corners[8 * static_cast<size_t>(b->drawn)]);
    glColorPointer(3, GL_FLOAT, 0, b->colours.data());
    glDrawArrays(GL_QUADS, 0, 4 * (b->cells - b->drawn));
    b->drawn = b->cells;
}

// The same quads as EmitRowImmediate, vertex for vertex, into the batch's arrays.
static void CollectRowBatched(const FieldRow& row, void* context) {
    QuadBatch* b = static_cast<QuadBatch*>(context);
    const size_t first = static_cast<size_t>(b->cells);
    const size_t cells = first + static_cast<size_t>(row.columns);
    if (b->corners.size() < 8 * cells) {
        b->corners.resize(8 * cells);
    }
    const size_t pending = cells - static_cast<size_t>(b->drawn);
    if (b->colours.size() < 12 * pending) {
        b->colours.resize(12 * pending);
    }
    GLfloat* colour = &b->colours[12 * (first - b->drawn)];
    for (int i = 0; i < row.columns; ++i) {
        const float* c = row.rgb + 3 * i;
        for (int v = 0; v < 4; ++v) {
            colour[0] = c[0];
            colour[1] = c[1];
            colour[2] = c[2];
            colour += 3;
        }
    }
    if (b->writeCorners) {
        GLfloat* corner = &b->corners[8 * first];
        const GLfloat y = static_cast<GLfloat>(row.y);
        const GLfloat y2 = static_cast<GLfloat>(row.y2);
        for (int i = 0; i < row.columns; ++i) {
            const GLfloat x = static_cast<GLfloat>(row.edges[i]);
            const GLfloat x2 = static_cast<GLfloat>(row.edges[i + 1]);
            const GLfloat quad[8] = {x, y, x2, y, x2, y2, x, y2};
            std::memcpy(corner, quad, sizeof quad);
            corner += 8;
        }
    }
    b->cells = static_cast<int>(cells);
    if (pending >= kCellsPerDraw) {
        DrawBatchedCells(b);
    }
}

static void DrawFieldBatched(const FieldFrame& frame) {
    QuadBatch& b = g_batch;
    const bool sameWalk = b.haveCorners && b.width == frame.width && b.yStart == frame.yStart &&
                          b.yEnd == frame.yEnd && b.cellSize == frame.cellSize;
    b.writeCorners = !sameWalk;
    b.cells = 0;
    b.drawn = 0;
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    WalkField(frame, CollectRowBatched, &b);
    DrawBatchedCells(&b);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    b.haveCorners = true;
    b.width = frame.width;
    b.yStart = frame.yStart;
    b.yEnd = frame.yEnd;
    b.cellSize = frame.cellSize;
}

void DrawField() {
    FieldFrame frame;
    PrepareFieldFrame(&frame);
    if (ActiveSubmitMode() == SubmitMode::kBatched) {
        DrawFieldBatched(frame);
        return;
    }
    glBegin(GL_QUADS);
    WalkField(frame, EmitRowImmediate, nullptr);
    glEnd();
}

const char* SubmitModeName(SubmitMode mode) {
    return mode == SubmitMode::kImmediate ? "immediate" : "batched";
}

SubmitMode PickSubmitMode(const char* request) {
    if (request == nullptr || request[0] == '\0') {
        return SubmitMode::kBatched;
    }
    for (const SubmitMode mode : {SubmitMode::kImmediate, SubmitMode::kBatched}) {
        if (std::strcmp(request, SubmitModeName(mode)) == 0) {
            return mode;
        }
    }
    std::fprintf(stderr, "RIPPLEFIELD_SUBMIT=%s is not immediate or batched: using batched\n",
                 request);
    return SubmitMode::kBatched;
}

void SelectSubmitMode(SubmitMode mode) {
    g_submitMode = mode;
    g_submitChosen = true;
}

SubmitMode ActiveSubmitMode() {
    if (!g_submitChosen) {
        SelectSubmitMode(PickSubmitMode(std::getenv("RIPPLEFIELD_SUBMIT")));
    }
    return g_submitMode;
}

void PresentFrame(void* device) {
    RenderFrame();
    SwapGLBuffers(device);
}
