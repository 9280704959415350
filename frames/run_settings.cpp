// run_settings.cpp -- RIPPLEFIELD_PRESENT's and RIPPLEFIELD_FREEZE's values, and which GL renderers
// draw on the processor.
#include "frames/run_settings.h"

#include "model/named_choice.h"

#include <cstring>
#include <string>

namespace {

const char* const kPresentNames[] = {"gl", "image", "auto"}; // in PresentChoice's order

// Decimal digits only, at least one; values beyond 2^40 stop growing, which every caller refuses.
bool ParseDecimal(const char* begin, const char* end, uint64_t* value) {
    if (begin == end) {
        return false;
    }
    uint64_t n = 0;
    for (const char* p = begin; p != end; ++p) {
        if (*p < '0' || *p > '9') {
            return false;
        }
        if (n < (UINT64_C(1) << 40)) {
            n = n * 10 + static_cast<uint64_t>(*p - '0');
        }
    }
    *value = n;
    return true;
}

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
    if (comma == nullptr) {
        return false;
    }
    const bool negative = comma[1] == '-';
    const char* msText = comma + (negative ? 2 : 1);
    uint64_t seedValue = 0;
    uint64_t ms = 0;
    if (!ParseDecimal(text, comma, &seedValue) || seedValue > UINT32_MAX ||
        !ParseDecimal(msText, msText + std::strlen(msText), &ms) ||
        ms > (negative ? UINT64_C(2147483648) : UINT64_C(2147483647))) {
        return false;
    }
    *seed = static_cast<uint32_t>(seedValue);
    *milliseconds =
        static_cast<int32_t>(negative ? -static_cast<int64_t>(ms) : static_cast<int64_t>(ms));
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
