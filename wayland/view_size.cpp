// view_size.cpp -- a Wayland view's buffer size, buffer scale and viewport destination.
#include "wayland/view_size.h"

#include <algorithm>

namespace {

// The protocol's rounding of a size times a scale in 120ths: half away from zero.
int Scaled(int size, int scale120) {
    return static_cast<int>((static_cast<long long>(size) * scale120 + 60) / 120);
}

// The destination of one dimension that shows a buffer of the mode's size over all of it: the
// logical size unless the compositor, drawing it at the output's scale, falls short of the mode.
int CoveringDestination(int mode, int logical, int outputScale) {
    if (static_cast<long long>(logical) * outputScale == mode) {
        return logical; // a whole-number scale that divides the mode
    }
    const int scale120 = ImpliedScale120(mode, logical);
    return scale120 > 0 && Scaled(logical, scale120) >= mode ? logical : logical + 1;
}

} // namespace

int ImpliedScale120(int mode, int logical) {
    if (mode <= 0 || logical <= 0) {
        return 0;
    }
    // Scales s with trunc(mode / s) or round(mode / s) equal to logical lie in
    // mode / (logical + 1) < s <= mode / (logical - 1/2); in 120ths, one of them or none is meant.
    const long long m = static_cast<long long>(mode) * 120;
    const long long lowest = m / (logical + 1) + 1;
    const long long highest = 2 * m / (2 * logical - 1);
    return lowest == highest ? static_cast<int>(lowest) : 0;
}

ViewSize SizeView(const ViewScale& s) {
    ViewSize size{};
    const bool onOutput = s.modeWidth > 0 && s.modeHeight > 0;
    if (s.viewporter && s.preferred120 > 0) {
        size.bufferWidth = Scaled(s.logicalWidth, s.preferred120);
        size.bufferHeight = Scaled(s.logicalHeight, s.preferred120);
        if (onOutput) {
            size.bufferWidth = std::min(size.bufferWidth, s.modeWidth);
            size.bufferHeight = std::min(size.bufferHeight, s.modeHeight);
        }
        size.bufferScale = 1;
        size.destWidth = s.logicalWidth;
        size.destHeight = s.logicalHeight;
    } else if (s.viewporter && onOutput) {
        size.bufferWidth = s.modeWidth;
        size.bufferHeight = s.modeHeight;
        size.bufferScale = 1;
        size.destWidth = CoveringDestination(s.modeWidth, s.logicalWidth, s.outputScale);
        size.destHeight = CoveringDestination(s.modeHeight, s.logicalHeight, s.outputScale);
    } else {
        const int scale = std::max(s.outputScale, 1);
        int width = s.logicalWidth;
        int height = s.logicalHeight;
        if (onOutput) {
            width = std::max(width, (s.modeWidth + scale - 1) / scale);
            height = std::max(height, (s.modeHeight + scale - 1) / scale);
        }
        size.bufferWidth = width * scale;
        size.bufferHeight = height * scale;
        size.bufferScale = scale;
    }
    size.physicalPerLogical = size.destWidth > 0
                                  ? static_cast<double>(size.bufferWidth) / size.destWidth
                                  : size.bufferScale;
    return size;
}
