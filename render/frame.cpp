// frame.cpp -- the portable OpenGL 1.1 renderer: fixed state, band, the view's buffers and the
// field drawn as one quad per cell or as a texture with the same pixels.
#include "render/frame.h"

#include "model/field.h"
#include "text/named_choice.h"
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

constexpr int kCellsPerDraw = 4096;
} // namespace

// Filled, smooth-shaded polygons, no depth test, no dithering, back faces culled, linear fog
// configured but off. The calls follow the fixed state table in its order, and every frame relies
// on the state they leave: the depth test, switched on and then off again, ends off.
void InitGLState(GlView& view, const ModelState& model) {
    ForgetCellTexture(view.texture); // a new context has none
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
    ApplyScene(view, model);
}

void ApplyScene(GlView& view, const ModelState& model) {
    const SceneParams& s = model.scene;
    const int width = s.viewWidth;
    const int height = s.viewHeight;
    const bool drawn = ResizeView(view, model);
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
static void SizeViewBuffers(GlView& v, const SceneParams& s) {
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
    v.drawn = pixels <= limit && SizeFieldRows(v.fieldRows, v.columns);
    if (!v.drawn) {
        return;
    }
    try {
        if (v.sizedMode == SubmitMode::kTexture &&
            !SizeCellTexture(v.texture, v.columns, v.rows, g_limits.maxTextureSize,
                             g_limits.refuseTexture)) {
            SelectSubmitMode(SubmitMode::kBatched);
            v.sizedMode = SubmitMode::kBatched;
        }
        if (v.sizedMode == SubmitMode::kBatched) {
            const size_t cells = static_cast<size_t>(v.columns) * v.rows;
            v.batch.corners.resize(8 * cells);
            v.batch.colours.resize(12 * (kCellsPerDraw + static_cast<size_t>(v.columns)));
            v.batch.haveCorners = false;
        }
    } catch (const std::bad_alloc&) {
        v.drawn = false;
    }
}

bool ResizeView(GlView& view, const ModelState& model) {
    SizeViewBuffers(view, model.scene);
    return view.drawn;
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

void DrawFrame(GlView& view, const ModelState& model) {
    const SceneParams& s = model.scene;
    if (!view.drawn) {
        return;
    }
    glDepthMask(GL_FALSE);
    if (s.lightingOff) {
        glDisable(GL_LIGHTING);
    }
    SetBandViewport(s.viewWidth, s.viewHeight, s.letterbox);
    SetBandOrtho(s.viewWidth, s.viewHeight, s.letterbox);
    ClearFrame();
    DrawField(view, model);
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

static void DrawFieldBatched(GlView& view, const FieldFrame& frame) {
    QuadBatch& b = view.batch;
    const bool sameWalk = b.haveCorners && b.width == frame.width && b.yStart == frame.yStart &&
                          b.yEnd == frame.yEnd && b.cellSize == frame.cellSize;
    b.writeCorners = !sameWalk;
    b.cells = 0;
    b.drawn = 0;
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    WalkField(frame, view.fieldRows, CollectRowBatched, &b);
    DrawBatchedCells(&b);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    b.haveCorners = true;
    b.width = frame.width;
    b.yStart = frame.yStart;
    b.yEnd = frame.yEnd;
    b.cellSize = frame.cellSize;
}

static void DrawFieldImmediate(GlView& view, const FieldFrame& frame) {
    glBegin(GL_QUADS);
    WalkField(frame, view.fieldRows, EmitRowImmediate, nullptr);
    glEnd();
}

void DrawField(GlView& view, const ModelState& model) {
    FieldFrame frame;
    PrepareFieldFrame(model, &frame);
    if (!view.sized || view.sizedMode != ActiveSubmitMode()) {
        SizeViewBuffers(view, model.scene); // only after the mode was changed
    }
    int columns = 0;
    int rows = 0;
    CountFieldCells(frame, &columns, &rows);
    if (!view.drawn || columns > view.columns || rows > view.rows) {
        return; // the view outgrew its buffers: no frame may allocate
    }
    switch (view.sizedMode) {
    case SubmitMode::kTexture:
        DrawFieldTexture(view.texture, view.fieldRows, frame,
                         BandRowsOf(model.scene.viewHeight, model.scene.letterbox), columns, rows);
        break;
    case SubmitMode::kBatched:
        DrawFieldBatched(view, frame);
        break;
    case SubmitMode::kImmediate:
        DrawFieldImmediate(view, frame);
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
