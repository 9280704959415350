// frame.cpp -- the portable OpenGL 1.1 renderer: fixed state, band, the view's buffers and the
// field drawn as one quad per cell or as a texture with the same pixels.
#include "render/frame.h"

#include "model/field.h"
#include "model/named_choice.h"
#include "model/scene.h"
#include "render/gl.h"
#include "render/texture_frame.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace {
bool g_submitChosen = false;
SubmitMode g_submitMode = SubmitMode::kTexture;
FrameLimits g_limits = {};

// The grid the view's buffers are sized for. They are sized when the view or the submission mode
// changes, never while a frame is drawn.
struct ViewBuffers {
    bool drawn; // false: frames advance the model but draw and present nothing
    bool sized; // for sizedMode
    SubmitMode sizedMode;
    int columns, rows; // the most cells across, and up the band (at no letterbox)
};
ViewBuffers g_view = {true, false, SubmitMode::kTexture, 0, 0};

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
// configured but off. The calls follow the fixed state table in its order, and every frame relies
// on the state they leave: the depth test, switched on and then off again, ends off.
void InitGLState(int width, int height) {
    ForgetCellTexture(); // a new context has none
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
    const bool drawn = ResizeView(width, height);
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
    if (drawn) {
        ClearFrame();
    }
}

// Sizes what a frame of the view needs in the mode in use. A texture that GL refuses switches the
// run to batched. No allocation failure leaves: the view is then not drawn.
static void SizeViewBuffers() {
    const SceneParams& s = g_model.scene;
    ViewBuffers& v = g_view;
    v.sized = true;
    v.sizedMode = ActiveSubmitMode();
    FieldFrame grid{};
    grid.width = s.viewWidth;
    grid.yStart = 0;
    grid.yEnd = s.viewHeight;
    grid.cellSize = s.cellSize;
    CountFieldCells(grid, &v.columns, &v.rows);
    const long long pixels = static_cast<long long>(s.viewWidth) * s.viewHeight;
    const long long limit = g_limits.maxViewPixels > 0 ? g_limits.maxViewPixels : kMaxViewPixels;
    v.drawn = pixels <= limit && SizeFieldRows(v.columns);
    if (!v.drawn) {
        return;
    }
    try {
        if (v.sizedMode == SubmitMode::kTexture &&
            !SizeCellTexture(v.columns, v.rows, g_limits.maxTextureSize, g_limits.refuseTexture)) {
            SelectSubmitMode(SubmitMode::kBatched);
            v.sizedMode = SubmitMode::kBatched;
        }
        if (v.sizedMode == SubmitMode::kBatched) {
            const size_t cells = static_cast<size_t>(v.columns) * v.rows;
            g_batch.corners.resize(8 * cells);
            g_batch.colours.resize(12 * (kCellsPerDraw + static_cast<size_t>(v.columns)));
            g_batch.haveCorners = false;
        }
    } catch (const std::bad_alloc&) {
        v.drawn = false;
    }
}

bool ResizeView(int width, int height) {
    g_model.scene.viewWidth = width;
    g_model.scene.viewHeight = height;
    SizeViewBuffers();
    return g_view.drawn;
}

bool ViewIsDrawn() {
    return g_view.drawn;
}

// The viewport's height and the projection's rows are truncated separately and may differ by a
// pixel. That stays: the band's rows decide where each cell edge falls on the screen, and every
// submission mode must show the same picture.
void SetBandViewport(double width, double height, double letterbox) {
    const BandRows band = BandRowsOf(height, letterbox);
    glViewport(0, band.viewY, static_cast<GLsizei>(width), band.viewHeight);
}

void SetBandOrtho(double width, double height, double letterbox) {
    const BandRows band = BandRowsOf(height, letterbox);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, static_cast<int>(width), band.bottom, band.top, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

// glClear is not limited by the viewport, so the strips outside the band keep the clear colour.
void ClearFrame() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void DrawFrame() {
    const SceneParams& s = g_model.scene;
    if (!g_view.drawn) {
        return;
    }
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
    const size_t pending = cells - static_cast<size_t>(b->drawn); // fewer than the arrays hold
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

static void DrawFieldImmediate(const FieldFrame& frame) {
    glBegin(GL_QUADS);
    WalkField(frame, EmitRowImmediate, nullptr);
    glEnd();
}

void DrawField() {
    FieldFrame frame;
    PrepareFieldFrame(&frame);
    if (!g_view.sized || g_view.sizedMode != ActiveSubmitMode()) {
        SizeViewBuffers(); // only after the mode was changed
    }
    int columns = 0;
    int rows = 0;
    CountFieldCells(frame, &columns, &rows);
    if (!g_view.drawn || columns > g_view.columns || rows > g_view.rows) {
        return; // the view outgrew its buffers: no frame may allocate
    }
    switch (g_view.sizedMode) {
    case SubmitMode::kTexture:
        DrawFieldTexture(frame, columns, rows);
        break;
    case SubmitMode::kBatched:
        DrawFieldBatched(frame);
        break;
    case SubmitMode::kImmediate:
        DrawFieldImmediate(frame);
        break;
    }
}

static const char* const kSubmitModeNames[] = {"immediate", "batched", "texture"}; // in order

const char* SubmitModeName(SubmitMode mode) {
    return kSubmitModeNames[static_cast<int>(mode)];
}

SubmitMode PickSubmitMode(const char* request) {
    return static_cast<SubmitMode>(PickNamedChoice("RIPPLEFIELD_SUBMIT", request, kSubmitModeNames,
                                                   3, static_cast<int>(SubmitMode::kTexture)));
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

void SetFrameLimits(const FrameLimits& limits) {
    g_limits = limits;
}
