// named_choice.h -- picking one of a few named ways of working by an environment variable's value
// (the field path, the submission mode).
#pragma once

#include <cstdio>
#include <cstring>

// The index of the name that request, the value of the variable, gives. No request (null or empty)
// gives fallback; so does a name that is none of them, with one line on stderr that says so.
inline int PickNamedChoice(const char* variable, const char* request, const char* const* names,
                           int count, int fallback) {
    if (request == nullptr || request[0] == '\0') {
        return fallback;
    }
    for (int i = 0; i < count; ++i) {
        if (std::strcmp(request, names[i]) == 0) {
            return i;
        }
    }
    char choices[128] = "";
    for (int i = 0; i < count; ++i) {
        const char* separator = i == 0 ? "" : i + 1 < count ? ", " : " or ";
        const size_t used = std::strlen(choices);
        std::snprintf(choices + used, sizeof choices - used, "%s%s", separator, names[i]);
    }
    std::fprintf(stderr, "%s=%s is not %s: using %s\n", variable, request, choices,
                 names[fallback]);
    return fallback;
}
