// frame_check.cpp -- a drawn frame against the model's cells.
#include "frame_check.h"

#include <cmath>
#include <cstring>

#include "model/field.h"
#include "model/scene.h"
#include "render/frame.h"
#include "render/gl.h"

static int g_counterReading = 0;

void SetFrameCounter(int milliseconds) {
    g_counterReading = milliseconds;
    g_readFrameCounter = [] { return g_counterReading; };
}

static void CollectRow(const FieldRow& row, void* context) {
    auto* cells = static_cast<std::vector<FrameCell>*>(context);
    for (int i = 0; i < row.columns; ++i) {
        const float* c = row.rgb + 3 * i;
        cells->push_back(
            FrameCell{row.edges[i], row.y, row.edges[i + 1], row.y2, {c[0], c[1], c[2]}});
    }
}

std::vector<FrameCell> CellsOfLastFrame() {
    FieldFrame frame;
    PrepareFieldFrame(&frame);
    std::vector<FrameCell> cells;
    WalkField(frame, CollectRow, &cells);
    return cells;
}

std::vector<unsigned char> ReadFramePixels(int width, int height) {
    std::vector<unsigned char> pixels(4 * static_cast<size_t>(width) * height);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

bool IsClearColour(const unsigned char* p) {
    return p[0] == 0 && p[1] == 0 && (p[2] == 25 || p[2] == 26); // 0.1 of 255
}

::testing::AssertionResult FrameMatchesCells(const std::vector<unsigned char>& pixels, int w,
                                             int h) {
    const std::vector<FrameCell> cells = CellsOfLastFrame();
    if (cells.empty()) {
        return ::testing::AssertionFailure() << "the frame has no cells";
    }
    const double l = g_model.scene.letterbox;
    const int viewY = static_cast<int>(l * h);
    const int viewH = static_cast<int>((1.0 - 2.0 * l) * h);
    const int bottom = static_cast<int>(l * h);
    const int top = static_cast<int>((1.0 - l) * h);
    const auto pixel = [&](int x, int y) { return &pixels[4 * (static_cast<size_t>(y) * w + x)]; };
    size_t checked = 0;
    for (const FrameCell& c : cells) {
        const double cx = (c.x + c.x2) / 2.0;
        const double cy = (c.y + c.y2) / 2.0;
        if (cx >= w || cy >= top) {
            continue; // clipped at the band's edge
        }
        const int py = viewY + static_cast<int>((cy - bottom) * viewH / (top - bottom));
        const unsigned char* p = pixel(static_cast<int>(cx), py);
        for (int k = 0; k < 3; ++k) {
            if (std::abs(p[k] / 255.0 - c.rgb[k]) > 1.0 / 255 + 1e-6) {
                return ::testing::AssertionFailure()
                       << "cell at " << c.x << "," << c.y << " channel " << k << " shows "
                       << int(p[k]) << " for " << c.rgb[k];
            }
        }
        ++checked;
    }
    if (checked < cells.size() * 3 / 4) {
        return ::testing::AssertionFailure() << "only " << checked << " cells inside the band";
    }
    for (int x = 0; x < w; ++x) {
        for (int y = 0; y < h; ++y) {
            if ((y < viewY || y >= viewY + viewH) && !IsClearColour(pixel(x, y))) {
                return ::testing::AssertionFailure() << "strip pixel " << x << "," << y;
            }
        }
    }
    return ::testing::AssertionSuccess();
}

std::vector<double> SpreadLetterboxes(int n) {
    std::vector<double> letterboxes;
    for (int k = 0; k < n; ++k) {
        letterboxes.push_back(n > 1 ? 0.15 * k / (n - 1) : 0.0);
    }
    return letterboxes;
}

void DrawFieldInBand(SubmitMode mode, double letterbox) {
    SceneParams& s = g_model.scene;
    s.letterbox = letterbox;
    SetBandViewport(s.viewWidth, s.viewHeight, letterbox);
    SetBandOrtho(s.viewWidth, s.viewHeight, letterbox);
    ClearFrame();
    SelectSubmitMode(mode);
    DrawField();
}

// The field at one letterbox, drawn in a mode under that band, read back.
static std::vector<unsigned char> DrawnPixels(SubmitMode mode, double letterbox, int w, int h) {
    DrawFieldInBand(mode, letterbox);
    return ReadFramePixels(w, h);
}

bool HasEdgeNearPixelCentre(const BandRows& band, int height) {
    for (int y = band.bottom; y <= height; y += 6) {
        if (BandEdgeNearPixelCentre(band, y)) {
            return true;
        }
    }
    return false;
}

::testing::AssertionResult
TextureMatchesBatched(int w, int h, const std::vector<double>& letterboxes, IdentityCount* count) {
    for (const double letterbox : letterboxes) {
        const std::vector<unsigned char> batched =
            DrawnPixels(SubmitMode::kBatched, letterbox, w, h);
        while (glGetError() != GL_NO_ERROR) {
        }
        const std::vector<unsigned char> texture =
            DrawnPixels(SubmitMode::kTexture, letterbox, w, h);
        const BandRows band = BandRowsOf(h, letterbox);
        GLint bound = -1;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        // An empty band's projection is refused by GL in every mode.
        const GLenum error = band.top > band.bottom ? glGetError() : GL_NO_ERROR;
        if (glIsEnabled(GL_TEXTURE_2D) || bound != 0 || error != GL_NO_ERROR) {
            return ::testing::AssertionFailure()
                   << "texturing left on or texture " << bound << " bound; GL error " << error;
        }
        for (size_t i = 0; i < texture.size(); i += 4) {
            if (std::memcmp(&texture[i], &batched[i], 3) != 0) {
                return ::testing::AssertionFailure()
                       << w << "x" << h << " letterbox " << letterbox << ": pixel " << i / 4 % w
                       << "," << i / 4 / w << " differs";
            }
        }
        const bool mismatch = band.top - band.bottom != band.viewHeight;
        ++count->frames;
        count->pixels += static_cast<long long>(w) * h;
        count->mismatchFrames += mismatch;
        count->tieFrames += mismatch && HasEdgeNearPixelCentre(band, h);
    }
    return ::testing::AssertionSuccess();
}
