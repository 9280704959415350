// render_options_test.cpp -- ripplefield-render's command line read in-process: what each option
// accepts, and the one line each refusal gives.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "programs_posix.h"
#include "tools/render_options.h"

namespace {

// The options as one line, for comparing whole results.
std::string Describe(const Options& o) {
    std::string ticks;
    for (const int32_t t : o.ticks) {
        ticks += (ticks.empty() ? "" : ",") + std::to_string(t);
    }
    return std::to_string(o.width) + "x" + std::to_string(o.height) + " seed " +
           std::to_string(o.seed) + " ticks " + ticks +
           (o.renderer == Renderer::kGl ? " gl" : " picture") +
           (OutputTarget(o, OutputKind::kWebp).empty() ? "" : " webp");
}

TEST(RenderOptions, EachArgumentListGivesItsOptionsOrOneLine) {
    struct Case {
        std::string arguments;
        ParseResult result;
        std::string outcome; // Describe() when parsed, else the error line
    };
    const Case cases[] = {
        {"", ParseResult::kRun, "1024x768 seed 1 ticks 700 picture"},
        {"--size +7x13 --seed +4294967295 --ticks -0,+5,-2147483648 --renderer gl",
         ParseResult::kRun, "7x13 seed 4294967295 ticks 0,5,-2147483648 gl"},
        {"--ticks 1,2 --series 2147483647,1,2 --webp a.webp", ParseResult::kRun,
         "1024x768 seed 1 ticks 2147483647,-2147483648 picture webp"},
        {"--seed 5 --help", ParseResult::kHelp, ""},
        {"-h --bogus", ParseResult::kHelp, ""},
        {"--version", ParseResult::kVersion, ""},
        {"--size 60by40", ParseResult::kBad, "bad --size '60by40': expected WxH, e.g. 1024x768"},
        {"--size 0x40", ParseResult::kBad, "bad --size '0x40': width and height must be positive"},
        {"--size 60x-40", ParseResult::kBad,
         "bad --size '60x-40': width and height must be positive"},
        {"--size 16385x40", ParseResult::kBad,
         "bad --size '16385x40': width and height must not exceed 16384"},
        {"--size 99999999999999999999x1", ParseResult::kBad,
         "bad --size '99999999999999999999x1': width and height must not exceed 16384"},
        {"--size 16384x8193 --renderer gl", ParseResult::kBad,
         "bad --size 16384x8193 for --renderer gl: 134234112 pixels, and GL draws at most "
         "134217728 (2^27); the picture draws it"},
        {"--seed 1e3", ParseResult::kBad, "bad --seed '1e3': not a number"},
        {"--seed -", ParseResult::kBad, "bad --seed '-': not a number"},
        {"--seed 4294967296", ParseResult::kBad,
         "bad --seed '4294967296': out of range 0 to 4294967295"},
        {"--seed -1", ParseResult::kBad, "bad --seed '-1': out of range 0 to 4294967295"},
        {"--ticks 700,,733", ParseResult::kBad, "bad --ticks '700,,733': '' is not a number"},
        {"--ticks 700,-2147483649", ParseResult::kBad,
         "bad --ticks '700,-2147483649': -2147483649 is not a 32-bit signed integer"},
        {"--series 700,40", ParseResult::kBad,
         "bad --series '700,40': expected START,STEP,COUNT, e.g. 700,40,100"},
        {"--series 700,40,0", ParseResult::kBad,
         "bad --series '700,40,0': the count must be 1 to 100000"},
        {"--series 700,40,100001", ParseResult::kBad,
         "bad --series '700,40,100001': the count must be 1 to 100000"},
        {"--series 0,-2147483649,3", ParseResult::kBad,
         "bad --series '0,-2147483649,3': -2147483649 is not a 32-bit signed integer"},
        {"--ticks 700 --webp a", ParseResult::kBad,
         "bad --webp: an animation needs at least two ticks"},
        {"--ticks 700,716,716 --webp a", ParseResult::kBad,
         "bad --webp: tick 716 does not come after 716"},
        {"--ticks 700,600 --webp a", ParseResult::kBad,
         "bad --webp: tick 600 does not come after 700"},
        {"--ticks 0,16777216 --webp a", ParseResult::kBad,
         "bad --webp: from tick 0 to 16777216 is longer than a frame can last (16777215 ms)"},
        {"--series 0,16000000,136 --webp a", ParseResult::kBad,
         "bad --webp: the frames would last longer than 2147483647 ms"},
        {"--size 16384x8 --ticks 700,716 --webp a", ParseResult::kBad,
         "bad --webp: width and height must not exceed 16383"},
        {"--colour red", ParseResult::kBad, "unknown option '--colour' (see --help)"},
        {"red", ParseResult::kBad, "unexpected argument 'red' (see --help)"},
        {"--seed", ParseResult::kBad, "missing value after --seed"},
        {"--png --cells c", ParseResult::kBad, "missing value after --png"},
        {"--renderer glx", ParseResult::kBad, "bad --renderer 'glx': expected picture or gl"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        std::vector<std::string> words = Words(c.arguments);
        std::vector<char*> argv = {const_cast<char*>("ripplefield-render")};
        for (std::string& w : words) {
            argv.push_back(&w[0]);
        }
        Options options;
        std::string error;
        const ParseResult result =
            ParseArguments(static_cast<int>(argv.size()), argv.data(), &options, &error);
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(result == ParseResult::kRun ? Describe(options) : error, c.outcome);
    }
}

} // namespace
