// named_choice.h -- picking one of a few named ways of working by an environment variable's value
// (the field path, the submission mode, the presenter).
#pragma once

#include "text/text.h"

#include <string>

// The index of the name that request, the value of the variable, gives. No request (null or empty)
// gives fallback; so does a name that is none of them, with one line on stderr that says so.
inline int PickNamedChoice(const char* variable, const char* request, const char* const* names,
                           int count, int fallback) {
    if (request == nullptr || request[0] == '\0') {
        return fallback;
    }
    const int found = FindName(request, names, count);
    if (found >= 0) {
        return found;
    }
    PrintLine(std::string(variable) + "=" + request + " is not " + ListNames(names, count) +
              ": using " + names[fallback]);
    return fallback;
}
