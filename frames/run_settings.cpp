// run_settings.cpp -- RIPPLEFIELD_PRESENT's and RIPPLEFIELD_FREEZE's values, and which GL renderers
// draw on the processor.
#include "frames/run_settings.h"

#include "model/named_choice.h"
#include "model/text.h"

#include <cstring>
#include <string>

namespace {

const char* const kPresentNames[] = {"gl", "image", "auto"}; // in PresentChoice's order

} // namespace

PresentChoice PickPresentChoice(const char* request) {
    return static_cast<PresentChoice>(PickNamedChoice("RIPPLEFIELD_PRESENT", request, kPresentNames,
                                                      3, static_cast<int>(PresentChoice::kAuto)));
}

const char* PresentChoiceName(PresentChoice choice) {
    return kPresentNames[static_cast<int>(choice)];
}

bool ParseFreeze(const char* text, uint32_t* seed, int32_t* milliseconds) {
    const char* comma = std::strchr(text, ',');
    uint32_t seedValue = 0;
    int64_t ms = 0;
    if (comma == nullptr ||
        ParseSeed(std::string_view(text, comma - text), Signs::kNone, &seedValue) !=
            NumberText::kNumber ||
        !ParseInteger(comma + 1, Signs::kMinus, 10, &ms) || ms < INT32_MIN || ms > INT32_MAX) {
        return false;
    }
    *seed = seedValue;
    *milliseconds = static_cast<int32_t>(ms);
    return true;
}

bool IsSoftwareRenderer(const char* renderer) {
    if (renderer == nullptr) {
        return false;
    }
    std::string lower = renderer;
    for (char& c : lower) {
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    for (const char* name :
         {"llvmpipe", "softpipe", "swrast", "software rasterizer", "gdi generic"}) {
        if (lower.find(name) != std::string::npos) {
            return true;
        }
    }
    return false;
}
