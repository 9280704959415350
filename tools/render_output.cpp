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
    // What the target names: the file's device and inode where it exists, else the real path of
    // its folder and its name.
    bool exists = false;
    bool regular = false; // else a device, FIFO or socket, written straight
    dev_t device = 0;
    ino_t inode = 0;
    std::string newPath;
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

// The folder part of a path, "." for a bare name.
std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// Where target leads: out's destination and identity. False, with the reason, for a directory, a
// link that leads nowhere and a path the system refuses.
bool ResolveOutput(Output* out, OutputKind kind, std::string* error) {
    const std::string& target = out->target;
    out->destination = target;
    struct stat info;
    if (lstat(target.c_str(), &info) != 0) {
        if (errno != ENOENT) {
            *error = CannotWrite(kind, target, std::strerror(errno));
            return false;
        }
        // A new file: two spellings of one name share the real path of their folder.
        char* folder = realpath(FolderOf(target).c_str(), nullptr);
        if (folder == nullptr) {
            *error = CannotWrite(kind, target, std::strerror(errno));
            return false;
        }
        const size_t slash = target.rfind('/');
        out->newPath = std::string(folder) + "/" +
                       (slash == std::string::npos ? target : target.substr(slash + 1));
        std::free(folder);
        return true;
    }
    if (S_ISLNK(info.st_mode) && stat(target.c_str(), &info) != 0) {
        // Replacing the link would lose it, and /dev/stdout with it when stdout is closed.
        *error = CannotWrite(kind, target,
                             errno == ENOENT ? "it is a symbolic link to nothing"
                                             : std::strerror(errno));
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        *error = CannotWrite(kind, target, "it is a directory");
        return false;
    }
    out->exists = true;
    out->device = info.st_dev;
    out->inode = info.st_ino;
    out->regular = S_ISREG(info.st_mode);
    if (out->regular) {
        // Through a symbolic link the file it names is replaced, not the link.
        char* resolved = realpath(target.c_str(), nullptr);
        if (resolved == nullptr) {
            *error = CannotWrite(kind, target, std::strerror(errno));
            return false;
        }
        out->destination = resolved;
        std::free(resolved);
    }
    return true;
}

bool SameFile(const Output& a, const Output& b) {
    return a.exists ? b.exists && a.device == b.device && a.inode == b.inode
                    : !b.exists && a.newPath == b.newPath;
}

} // namespace

std::string CannotWrite(OutputKind kind, const std::string& target, const char* reason) {
    return std::string("cannot write ") + OutputOption(kind) + " file '" + target + "': " + reason;
}

bool OpenOutput(OutputKind kind, const std::string& target, std::string* error) {
    const int index = static_cast<int>(kind);
    Output* out = &g_outputs[index];
    *out = Output{};
    out->target = target;
    if (!ResolveOutput(out, kind, error)) {
        return false;
    }
    // Two outputs into one file would overwrite each other.
    for (int k = 0; k < index; ++k) {
        const Output& earlier = g_outputs[k];
        if (!earlier.target.empty() && SameFile(earlier, *out)) {
            *error = std::string(OutputOption(static_cast<OutputKind>(k))) + " and " +
                     OutputOption(kind) + " name the same file '" + earlier.target + "'" +
                     (earlier.target == target ? "" : " (as '" + target + "')");
            out->target.clear();
            return false;
        }
    }
    if (out->exists && !out->regular) {
        out->file = std::fopen(target.c_str(), "wb");
        if (out->file == nullptr) {
            *error = CannotWrite(kind, target, std::strerror(errno));
            return false;
        }
        return true;
    }
    // A short name of fixed length, so that every name the file system takes can be replaced.
    std::string name = FolderOf(out->destination) + "/.ripplefield-XXXXXX";
    const int fd = mkstemp(&name[0]);
    if (fd < 0) {
        *error = CannotWrite(kind, target, std::strerror(errno));
        return false;
    }
    out->temp = name;
    g_tempNames[index] = out->temp.c_str();
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

FILE* OutputFile(OutputKind kind) {
    return g_outputs[static_cast<int>(kind)].file;
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
            *error = CannotWrite(static_cast<OutputKind>(k), out.target,
                                 failure != 0 ? std::strerror(failure) : "a write failed");
            return false;
        }
    }
    for (int k = 0; k < kOutputKinds; ++k) {
        Output& out = g_outputs[k];
        if (out.temp.empty()) {
            continue;
        }
        // What took the file's place while the frames were drawn stays.
        struct stat info;
        if (lstat(out.destination.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
            *error = CannotWrite(static_cast<OutputKind>(k), out.target,
                                 "it is no longer a regular file");
            return false;
        }
        if (std::rename(out.temp.c_str(), out.destination.c_str()) != 0) {
            *error = CannotWrite(static_cast<OutputKind>(k), out.target, std::strerror(errno));
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

void InstallOutputSignals() {
    std::signal(SIGINT, RemoveTemporariesOnSignal);
    std::signal(SIGTERM, RemoveTemporariesOnSignal);
    std::signal(SIGHUP, RemoveTemporariesOnSignal);
    std::signal(SIGPIPE, SIG_IGN);
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
void WriteCells(FILE* file, const ModelState& model) {
    FieldFrame frame;
    PrepareFieldFrame(model, &frame);
    FieldRowBuffers rows;
    WalkField(frame, rows, WriteCellRow, file);
}

void WriteState(FILE* file, const ModelState& model) {
    const FrameClock& clock = model.clock;
    const OscillatorBank& bank = model.bank;
    std::fprintf(file, "%.17g %.17g %.17g %.17g\n", clock.time, clock.prevTime, clock.dt,
                 model.scene.letterbox);
    for (int i = 0; i < model.scene.oscillatorCount; ++i) {
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
