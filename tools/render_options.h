// render_options.h -- ripplefield-render's command line: the options, their checks and the usage.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int kMaxViewSize = 16384;

enum OutputKind { kPngOutput, kCellsOutput, kStateOutput, kOutputKinds };
extern const char* const kOutputOptions[kOutputKinds];

extern const char kUsage[];

struct Options {
    int width = 1024;
    int height = 768;
    uint32_t seed = 1;
    std::vector<int32_t> ticks{700};
    std::string targets[kOutputKinds]; // empty: not written
};

enum ParseResult { kParsed, kHelpAsked, kBadArguments };

// Options are read in order; a later copy of an option overrides an earlier one.
ParseResult ParseArguments(int argc, char** argv, Options* options, std::string* error);
