// render_output.cpp -- ripplefield-render's outputs: files replaced only when complete, and the
// PNG, cell, state and animation writers.
#include "tools/render_output.h"

#include "model/field.h"
#include "model/scene.h"

#include <png.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <cerrno>
#include <csetjmp>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// An output under way: written to a temporary file beside its target, renamed at the very end.
struct Output {
    std::string target;      // as given
    std::string destination; // the file that the temporary replaces
    std::string temp;        // empty when written straight
    FILE* file = nullptr;
};

Output g_outputs[kOutputKinds];
// The temporaries' names as the signal handler sees them; set once the file exists.
const char* volatile g_tempNames[kOutputKinds];

void RemoveTemporariesOnSignal(int signal) {
    for (int k = 0; k < kOutputKinds; ++k) {
        if (g_tempNames[k] != nullptr) {
            unlink(g_tempNames[k]);
        }
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void FailPng(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void IgnorePngWarning(png_structp, png_const_charp) {}

void WriteCellRow(const FieldRow& row, void* context) {
    FILE* file = static_cast<FILE*>(context);
    for (int i = 0; i < row.columns; ++i) {
        const float* c = row.rgb + 3 * i;
        std::fprintf(file, "%d %d %d %d %.9g %.9g %.9g\n", row.edges[i], row.y, row.edges[i + 1],
                     row.y2, c[0], c[1], c[2]);
    }
}

} // namespace

std::string CannotWrite(int kind, const std::string& target, const char* reason) {
    return std::string("cannot write ") + kOutputOptions[kind] + " file '" + target +
           "': " + reason;
}

bool OpenOutput(int kind, const std::string& target, std::string* error) {
    Output* out = &g_outputs[kind];
    out->target = target;
    out->destination = target;
    struct stat info;
    if (stat(target.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            *error = CannotWrite(kind, target, "it is a directory");
            return false;
        }
        if (!S_ISREG(info.st_mode)) {
            out->file = std::fopen(target.c_str(), "wb");
            if (out->file == nullptr) {
                *error = CannotWrite(kind, target, std::strerror(errno));
                return false;
            }
            return true;
        }
        // Through a symbolic link the file it names is replaced, not the link.
        char* resolved = realpath(target.c_str(), nullptr);
        if (resolved != nullptr) {
            out->destination = resolved;
            std::free(resolved);
        }
    }
    std::vector<char> name(out->destination.begin(), out->destination.end());
    const char suffix[] = ".XXXXXX";
    name.insert(name.end(), suffix, suffix + sizeof suffix);
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        *error = CannotWrite(kind, target, std::strerror(errno));
        return false;
    }
    out->temp = name.data();
    g_tempNames[kind] = out->temp.c_str();
    // mkstemp makes the file private; the result gets the usual permissions instead.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    out->file = fdopen(fd, "wb");
    if (out->file == nullptr) {
        const int failure = errno; // before close can change it
        close(fd);
        *error = CannotWrite(kind, target, std::strerror(failure));
        return false;
    }
    return true;
}

FILE* OutputFile(int kind) {
    return g_outputs[kind].file;
}

// Only a rename failing after an earlier one succeeded can leave some outputs written and not
// others, and each of those is complete.
bool CommitOutputs(std::string* error) {
    for (int k = 0; k < kOutputKinds; ++k) {
        Output& out = g_outputs[k];
        if (out.file == nullptr) {
            continue;
        }
        // A failed write shows in the flush or the stream's error flag; take errno before the
        // close can change it.
        errno = 0;
        const bool written = std::fflush(out.file) == 0 && std::ferror(out.file) == 0;
        int failure = errno;
        const bool closed = std::fclose(out.file) == 0;
        if (written && !closed) {
            failure = errno;
        }
        out.file = nullptr;
        if (!written || !closed) {
            *error = CannotWrite(k, out.target,
                                 failure != 0 ? std::strerror(failure) : "a write failed");
            return false;
        }
    }
    for (int k = 0; k < kOutputKinds; ++k) {
        Output& out = g_outputs[k];
        if (out.temp.empty()) {
            continue;
        }
        if (std::rename(out.temp.c_str(), out.destination.c_str()) != 0) {
            *error = CannotWrite(k, out.target, std::strerror(errno));
            return false;
        }
        g_tempNames[k] = nullptr;
        out.temp.clear();
    }
    return true;
}

void RemoveTemporaries() {
    for (int k = 0; k < kOutputKinds; ++k) {
        Output& out = g_outputs[k];
        g_tempNames[k] = nullptr;
        if (out.file != nullptr) {
            std::fclose(out.file);
            out.file = nullptr;
        }
        if (!out.temp.empty()) {
            unlink(out.temp.c_str());
            out.temp.clear();
        }
    }
}

void RemoveTemporariesOnSignals() {
    std::signal(SIGINT, RemoveTemporariesOnSignal);
    std::signal(SIGTERM, RemoveTemporariesOnSignal);
    std::signal(SIGHUP, RemoveTemporariesOnSignal);
}

bool WritePng(FILE* file, int width, int height, RowReader readRow, void* context) {
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, FailPng, IgnorePngWarning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    std::vector<png_byte> row(3 * static_cast<size_t>(width));
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        readRow(y, row.data(), context);
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

// The model does not change while a frame is drawn, so walking it again yields that frame's cells.
void WriteCells(FILE* file) {
    FieldFrame frame;
    PrepareFieldFrame(&frame);
    WalkField(frame, WriteCellRow, file);
}

void WriteState(FILE* file) {
    const FrameClock& clock = g_model.clock;
    const OscillatorBank& bank = g_model.bank;
    std::fprintf(file, "%.17g %.17g %.17g %.17g\n", clock.time, clock.prevTime, clock.dt,
                 g_model.scene.letterbox);
    for (int i = 0; i < g_model.scene.oscillatorCount; ++i) {
        std::fprintf(file, "%d %.17g %.17g %.17g %d\n", i, bank.phase[i], bank.rate[i],
                     bank.target[i], bank.chase[i] ? 1 : 0);
    }
}

bool BeginAnimation(Animation* animation, int width, int height) {
    WebPAnimEncoderOptions options;
    if (!WebPAnimEncoderOptionsInit(&options)) {
        return false;
    }
    options.anim_params.loop_count = 0; // forever
    animation->width = width;
    animation->height = height;
    animation->encoder = WebPAnimEncoderNew(width, height, &options);
    return animation->encoder != nullptr;
}

bool AddAnimationFrame(Animation* animation, const unsigned char* rgb, int startMs) {
    WebPConfig config;
    WebPPicture picture;
    if (!WebPConfigInit(&config) || !WebPPictureInit(&picture)) {
        return false;
    }
    config.lossless = 1; // frames decode to exactly the pixels drawn
    config.quality = 75;
    config.method = 4;
    picture.use_argb = 1;
    picture.width = animation->width;
    picture.height = animation->height;
    const bool added = WebPPictureImportRGB(&picture, rgb, 3 * animation->width) &&
                       WebPAnimEncoderAdd(animation->encoder, &picture, startMs, &config);
    WebPPictureFree(&picture);
    return added;
}

bool FinishAnimation(Animation* animation, int endMs, FILE* file) {
    WebPData data;
    WebPDataInit(&data);
    const bool encoded = WebPAnimEncoderAdd(animation->encoder, nullptr, endMs, nullptr) &&
                         WebPAnimEncoderAssemble(animation->encoder, &data);
    if (encoded) {
        std::fwrite(data.bytes, 1, data.size, file); // a failure stays in the stream's error flag
    }
    WebPDataClear(&data);
    DiscardAnimation(animation);
    return encoded;
}

void DiscardAnimation(Animation* animation) {
    WebPAnimEncoderDelete(animation->encoder);
    animation->encoder = nullptr;
}
