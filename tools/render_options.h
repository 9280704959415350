// render_options.h -- ripplefield-render's command line: the options, their checks and the usage.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "text/text.h"

constexpr int kMaxViewSize = 16384;
constexpr int kMaxAnimationSize = 16383;    // the largest WebP canvas
constexpr int kMaxFrameDuration = 16777215; // the longest WebP frame, in ms
constexpr int kMaxSeriesFrames = 100000;

enum class OutputKind { kPng, kCells, kState, kWebp };
constexpr int kOutputKinds = 4;
// The option that names each kind's file: "--png", ...
const char* OutputOption(OutputKind kind);

extern const char kUsage[];
// What --version prints: the program's name and version, one line.
extern const char kVersion[];

// How the frames are drawn: on the processor (the default), or with GL on a headless context.
enum class Renderer { kPicture, kGl };

struct Options {
    Renderer renderer = Renderer::kPicture;
    int width = 1024;
    int height = 768;
    uint32_t seed = 1;
    std::vector<int32_t> ticks{700};
    std::string targets[kOutputKinds]; // by OutputKind; empty: not written
};

// The file that options name for kind; empty when it is not written.
const std::string& OutputTarget(const Options& options, OutputKind kind);

// Options are read in order; a later copy of an option overrides an earlier one. Whether two
// outputs are one file is for the file system to say: OpenOutputs checks that.
ParseResult ParseArguments(int argc, char** argv, Options* options, std::string* error);

// The animation's frame times in milliseconds from its start, one per reading, and its end as the
// last entry: each frame lasts until the next reading (modulo 2^32, as the counter wraps), the
// last one as long as the one before it. False when a reading does not come after the one before,
// a frame would last longer than a WebP frame can, or the whole would not fit a 32-bit millisecond
// count.
bool AnimationTimes(const std::vector<int32_t>& ticks, std::vector<int>* times, std::string* error);
