// text.cpp -- numbers, seeds, names and stderr lines for every command line.
#include "text/text.h"

#include <cstdio>

size_t ScanDigits(std::string_view text, int base, uint64_t* value, bool* overflow) {
    uint64_t n = 0;
    bool over = false;
    size_t i = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int digit = -1;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        }
        if (digit < 0) {
            break;
        }
        const uint64_t limit =
            (UINT64_MAX - static_cast<uint64_t>(digit)) / static_cast<uint64_t>(base);
        over = over || n > limit;
        n = n * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    }
    *value = n;
    *overflow = over;
    return i;
}

bool ParseInteger(std::string_view text, Signs signs, int base, int64_t* value) {
    const bool negative = !text.empty() && text[0] == '-' && signs != Signs::kNone;
    const bool positive = !text.empty() && text[0] == '+' && signs == Signs::kEither;
    if (negative || positive) {
        text.remove_prefix(1);
    }
    uint64_t magnitude = 0;
    bool overflow = false;
    if (text.empty() || ScanDigits(text, base, &magnitude, &overflow) != text.size()) {
        return false;
    }
    if (overflow || magnitude > static_cast<uint64_t>(INT64_MAX)) {
        *value = negative ? INT64_MIN : INT64_MAX;
    } else {
        *value = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    }
    return true;
}

NumberText ParseSeed(std::string_view text, Signs signs, uint32_t* seed) {
    int64_t value = 0;
    if (!ParseInteger(text, signs, 10, &value)) {
        return NumberText::kNotANumber;
    }
    if (value < 0 || value > INT64_C(4294967295)) {
        return NumberText::kOutOfRange;
    }
    *seed = static_cast<uint32_t>(value);
    return NumberText::kNumber;
}

int FindName(std::string_view text, const char* const* names, int count) {
    for (int i = 0; i < count; ++i) {
        if (text == names[i]) {
            return i;
        }
    }
    return -1;
}

std::string ListNames(const char* const* names, int count) {
    std::string list;
    for (int i = 0; i < count; ++i) {
        list += i == 0 ? "" : i + 1 < count ? ", " : " or ";
        list += names[i];
    }
    return list;
}

std::string CleanLine(std::string_view line) {
    std::string clean(line);
    for (char& c : clean) {
        if (static_cast<unsigned char>(c) < 0x20) {
            c = '?';
        }
    }
    return clean;
}

void PrintLine(std::string_view line) {
    std::fprintf(stderr, "%s\n", CleanLine(line).c_str());
}

int EndWithoutRun(ParseResult result, const char* usage, const char* version,
                  const std::string& errorLine, int badStatus) {
    switch (result) {
    case ParseResult::kHelp:
        std::fputs(usage, stdout);
        return 0;
    case ParseResult::kVersion:
        std::fputs(version, stdout);
        return 0;
    case ParseResult::kBad:
        PrintLine(errorLine);
        return badStatus;
    case ParseResult::kRun:
        break;
    }
    return -1;
}
