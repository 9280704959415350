// band.h -- the letterbox band in rows: where GL shows each row of the projection on the screen,
// worked out without GL for the picture, the texture frames and the per-cell quads alike.
#pragma once

// The projection's rows bottom to top are shown in the viewport's rows viewY to
// viewY + viewHeight (counted from the bottom). Each is truncated on its own, so the two heights
// may differ by a row.
struct BandRows {
    int bottom, top;
    int viewY, viewHeight;
};

BandRows BandRowsOf(double height, double letterbox);

// The first pixel row, counted from the top of a view that many rows high, below the edge that
// lies at projection row y: the rows above it show what lies above the edge. Where the band is
// scaled, an edge can fall on a pixel centre; this is where llvmpipe then puts it.
int BandEdgeRow(const BandRows& band, int height, int y);

// Whether the edge at projection row y lies within 1/128 of a pixel centre, where a rasteriser's
// own arithmetic decides which side the pixel falls on.
bool BandEdgeNearPixelCentre(const BandRows& band, int y);
