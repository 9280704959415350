// extension_list.h -- finding a name in a GL, WGL or GLX extension string.
#pragma once

#include <cstring>

// Whether a list of names separated by spaces holds the name itself, not merely a longer name
// that begins with it.
inline bool ListsExtension(const char* list, const char* name) {
    if (list == nullptr) {
        return false;
    }
    const size_t length = std::strlen(name);
    for (const char* p = list; (p = std::strstr(p, name)) != nullptr; p += length) {
        const bool starts = p == list || p[-1] == ' ';
        const bool ends = p[length] == ' ' || p[length] == '\0';
        if (starts && ends) {
            return true;
        }
    }
    return false;
}
