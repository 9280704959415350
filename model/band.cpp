// band.cpp -- the band's rows and where GL's rasteriser puts the edges of the rows it draws.
#include "model/band.h"

#include <cmath>

BandRows BandRowsOf(double height, double letterbox) {
    BandRows band;
    band.bottom = static_cast<int>(letterbox * height);
    band.top = static_cast<int>((1.0 - letterbox) * height);
    band.viewY = static_cast<int>(letterbox * height);
    band.viewHeight = static_cast<int>((1.0 - 2.0 * letterbox) * height);
    return band;
}

namespace {

// Each step rounded to a float, also where the arithmetic is wider (x87).
float Rounded(float value) {
    volatile float stored = value;
    return stored;
}

} // namespace

// llvmpipe's arithmetic, step by step; checked against it over every band of views up to 2200
// rows and a sample up to 16384. glOrtho's matrix is made in float; the vertex transform
// multiplies and then adds; the viewport transform is one fused multiply-add into rows counted
// from the top (window buffers are drawn upside down); the rasteriser snaps that to 1/256 pixel,
// relative to the pixel centres, rounding to even. A pixel centre exactly on the snapped edge shows
// what lies above the edge.
int BandEdgeRow(const BandRows& band, int height, int y) {
    const float projected = Rounded(static_cast<float>(band.top) - static_cast<float>(band.bottom));
    const float scale = Rounded(2.0f / projected);
    const float offset = Rounded(
        -Rounded(static_cast<float>(band.top) + static_cast<float>(band.bottom)) / projected);
    const float ndc = Rounded(Rounded(scale * static_cast<float>(y)) + offset);
    const float half = static_cast<float>(band.viewHeight) / 2.0f;
    const float fromTop =
        std::fma(ndc, -half, static_cast<float>(height) - (static_cast<float>(band.viewY) + half));
    const long snapped = std::lrint(static_cast<double>(Rounded((fromTop - 0.5f) * 256.0f)));
    // Rows r with r * 256 <= snapped lie above the edge.
    const long above = snapped >= 0 ? snapped / 256 + 1 : -((-snapped - 1) / 256);
    return static_cast<int>(above);
}

bool BandEdgeNearPixelCentre(const BandRows& band, int y) {
    const int projected = band.top - band.bottom;
    if (projected <= 0 || band.viewHeight == projected) {
        return false; // every edge on a pixel boundary
    }
    const double at =
        band.viewY + (y - band.bottom) * (static_cast<double>(band.viewHeight) / projected);
    return std::fabs(at - std::floor(at) - 0.5) < 1.0 / 128.0;
}
