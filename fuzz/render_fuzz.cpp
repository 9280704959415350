// render_fuzz.cpp -- libFuzzer target for ripplefield-render's command line and writers: the input
// is the argument list, one argument a line. What parses is checked against the limits the tool
// promises, then written, with small frames of the input's own bytes, into a private directory;
// the PNG and the animation are read back and must give exactly those frames.
#include "frames/frame_step.h"
#include "model/scene.h"
#include "picture/memory_presenter.h"
#include "tools/render_options.h"
#include "tools/render_output.h"

#include <png.h>
#include <webp/demux.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

constexpr int kMaxSide = 24; // frames stay small: the loop is about the writers, not the pixels
constexpr size_t kMaxFrames = 4;

// A broken promise: libFuzzer keeps the input that caused it.
void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "render_fuzz: %s\n", what);
        std::abort();
    }
}

std::vector<std::string> SplitLines(const uint8_t* data, size_t size) {
    std::vector<std::string> words(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == '\n') {
            words.emplace_back();
        } else {
            words.back() += static_cast<char>(data[i]);
        }
    }
    return words;
}

struct Frames {
    int width;
    int height;
    std::vector<std::vector<unsigned char>> rgb; // top row first
};

void ReadFrameRow(int y, unsigned char* rgb, void* context) {
    const Frames* frames = static_cast<const Frames*>(context);
    const std::vector<unsigned char>& last = frames->rgb.back();
    std::memcpy(rgb, &last[3 * static_cast<size_t>(frames->width) * y], 3 * frames->width);
}

std::string ReadFile(const std::string& path) {
    std::string bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    Check(file != nullptr, "an output that was committed is missing");
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
        bytes.append(buffer, n);
    }
    std::fclose(file);
    return bytes;
}

void CheckPng(const std::string& path, const Frames& frames) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    Check(png_image_begin_read_from_file(&image, path.c_str()) != 0, "the PNG does not read");
    image.format = PNG_FORMAT_RGB;
    std::vector<unsigned char> rgb(PNG_IMAGE_SIZE(image));
    Check(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr) != 0,
          "the PNG does not decode");
    Check(static_cast<int>(image.width) == frames.width &&
              static_cast<int>(image.height) == frames.height && rgb == frames.rgb.back(),
          "the PNG is not the frame written");
}

void CheckAnimation(const std::string& path, const Frames& frames, const std::vector<int>& times) {
    const std::string bytes = ReadFile(path);
    WebPData data = {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()};
    WebPAnimDecoderOptions options;
    WebPAnimDecoderOptionsInit(&options);
    options.color_mode = MODE_RGBA;
    WebPAnimDecoder* decoder = WebPAnimDecoderNew(&data, &options);
    Check(decoder != nullptr, "the animation does not decode");
    WebPAnimInfo info;
    Check(WebPAnimDecoderGetInfo(decoder, &info) != 0 &&
              static_cast<int>(info.canvas_width) == frames.width &&
              static_cast<int>(info.canvas_height) == frames.height,
          "the animation has the wrong size");
    // Identical neighbours are merged into one longer frame: walk the frames written by time.
    size_t written = 0;
    while (WebPAnimDecoderHasMoreFrames(decoder)) {
        uint8_t* rgba = nullptr;
        int end = 0;
        Check(WebPAnimDecoderGetNext(decoder, &rgba, &end) != 0, "a frame does not decode");
        Check(written < frames.rgb.size(), "the animation has frames that were not written");
        const std::vector<unsigned char>& rgb = frames.rgb[written];
        for (size_t i = 0; i < rgb.size() / 3; ++i) {
            Check(rgba[4 * i] == rgb[3 * i] && rgba[4 * i + 1] == rgb[3 * i + 1] &&
                      rgba[4 * i + 2] == rgb[3 * i + 2] && rgba[4 * i + 3] == 255,
                  "an animation frame is not the frame written");
        }
        // Frames that are all the same become a still image, which has no duration.
        const int last = info.frame_count == 1 && end == 0 ? times.back() : end;
        while (written + 1 < frames.rgb.size() && times[written + 1] < last) {
            ++written;
            Check(frames.rgb[written] == rgb, "a frame was merged into a different one");
        }
        Check(last == times[written + 1], "an animation frame ends at the wrong time");
        ++written;
    }
    Check(written == frames.rgb.size(), "the animation lost frames");
    WebPAnimDecoderDelete(decoder);
}

// Runs the frame step as the tool does, so that the cell and state writers see a real frame.
void StepModel(const Options& options, const Frames& frames, size_t count, FrameLoop& loop) {
    StartFrameLoop(loop, options.seed, frames.width, frames.height, false);
    std::string error;
    void* memory = kMemoryPresenter.start(nullptr, loop.model, &error);
    Check(memory != nullptr, "no memory for a small frame");
    AttachPresenter(loop, &kMemoryPresenter, memory);
    for (size_t f = 0; f < count; ++f) {
        FreezeFrameCounter(loop, options.ticks[f]);
        Check(StepFrame(loop), "a small frame was not drawn");
    }
    StopFrameLoop(loop);
}

// Each input writes into a directory of its own, removed again unless the input fails.
void WriteEverything(const Options& options, const uint8_t* data, size_t size) {
    char directory[] = "/tmp/ripplefield-fuzz-XXXXXX";
    Check(mkdtemp(directory) != nullptr, "no private directory");
    Frames frames;
    frames.width = options.width < kMaxSide ? options.width : kMaxSide;
    frames.height = options.height < kMaxSide ? options.height : kMaxSide;
    const size_t count = options.ticks.size() < kMaxFrames ? options.ticks.size() : kMaxFrames;
    // The input's bytes as pixels, with runs of equal frames when it is short.
    size_t next = 0;
    for (size_t f = 0; f < count; ++f) {
        frames.rgb.emplace_back(3 * static_cast<size_t>(frames.width) * frames.height);
        for (unsigned char& byte : frames.rgb.back()) {
            byte = size > 0 ? data[next++ % size] : 0;
        }
    }
    FrameLoop loop{};
    StepModel(options, frames, count, loop);

    const std::vector<int32_t> ticks(options.ticks.begin(), options.ticks.begin() + count);
    std::vector<int> times;
    std::string error;
    const bool animated = AnimationTimes(ticks, &times, &error);
    const char* const names[kOutputKinds] = {"a.png", "a.txt", "s.txt", "a.webp"};
    std::string paths[kOutputKinds];
    for (int k = 0; k < kOutputKinds; ++k) {
        const OutputKind kind = static_cast<OutputKind>(k);
        paths[k] = std::string(directory) + "/" + names[k];
        if (kind != OutputKind::kWebp || animated) {
            Check(OpenOutput(kind, paths[k], &error), "an output in the private directory fails");
        }
    }
    Check(
        WritePng(OutputFile(OutputKind::kPng), frames.width, frames.height, ReadFrameRow, &frames),
        "the PNG writer fails");
    WriteCells(OutputFile(OutputKind::kCells), loop.model);
    WriteState(OutputFile(OutputKind::kState), loop.model);
    if (animated) {
        Animation animation = {};
        Check(BeginAnimation(&animation, frames.width, frames.height), "no animation encoder");
        for (size_t f = 0; f < count; ++f) {
            Check(AddAnimationFrame(&animation, frames.rgb[f].data(), times[f]),
                  "a frame is refused");
        }
        Check(FinishAnimation(&animation, times.back(), OutputFile(OutputKind::kWebp)),
              "the animation does not assemble");
    }
    Check(CommitOutputs(&error), "the outputs do not commit");
    CheckPng(paths[static_cast<int>(OutputKind::kPng)], frames);
    if (animated) {
        CheckAnimation(paths[static_cast<int>(OutputKind::kWebp)], frames, times);
    }
    for (const std::string& path : paths) {
        unlink(path.c_str());
    }
    rmdir(directory);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> words = SplitLines(data, size);
    std::vector<char*> argv{const_cast<char*>("ripplefield-render")};
    for (std::string& word : words) {
        argv.push_back(&word[0]);
    }
    argv.push_back(nullptr);
    Options options;
    std::string error;
    const ParseResult parsed =
        ParseArguments(static_cast<int>(argv.size() - 1), argv.data(), &options, &error);
    if (parsed != ParseResult::kRun) {
        Check(parsed == ParseResult::kHelp || parsed == ParseResult::kVersion || !error.empty(),
              "a refusal without a reason");
        return 0;
    }
    Check(options.width >= 1 && options.width <= kMaxViewSize && options.height >= 1 &&
              options.height <= kMaxViewSize && !options.ticks.empty(),
          "accepted options out of range");
    Check(options.renderer != Renderer::kGl ||
              int64_t{options.width} * options.height <= kMaxViewPixels,
          "a view accepted for GL that GL does not draw");
    if (!OutputTarget(options, OutputKind::kWebp).empty()) {
        std::vector<int> times;
        Check(options.width <= kMaxAnimationSize && options.height <= kMaxAnimationSize &&
                  AnimationTimes(options.ticks, &times, &error),
              "an animation accepted that cannot be made");
    }
    WriteEverything(options, data, size);
    return 0;
}
