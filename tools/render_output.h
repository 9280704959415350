// render_output.h -- ripplefield-render's outputs: files replaced only when complete, and the
// PNG, cell, state and animation writers. Nothing here draws: pictures come in as rows.
#pragma once

#include "model/scene.h"
#include "tools/render_options.h"

#include <cstdio>
#include <string>

// Opens an output now, so that a bad target fails before anything is drawn. A regular file, a link
// to one or a new name gets a temporary file beside the file it names, renamed over it only when
// everything is written; a device or FIFO (/dev/stdout) is written straight. Refused, with one line
// in error: a directory, a link that leads nowhere, and a file that an output opened before names
// too, however it is spelled.
bool OpenOutput(OutputKind kind, const std::string& target, std::string* error);
// The output's open file; null when it is not written.
FILE* OutputFile(OutputKind kind);
// Closes every output and renames each temporary over its file (never over anything but a regular
// file); false after the first failure.
bool CommitOutputs(std::string* error);
// Closes and removes every temporary: the targets stay as they were.
void RemoveTemporaries();
// An interrupted run leaves no temporary behind either, and a closed pipe shows as a failed write
// instead of ending the process.
void InstallOutputSignals();
std::string CannotWrite(OutputKind kind, const std::string& target, const char* reason);

// Fills rgb with row y of a picture (3 bytes a pixel), counting rows from the top.
typedef void (*RowReader)(int y, unsigned char* rgb, void* context);

// An 8-bit RGB PNG; false when encoding or writing fails.
bool WritePng(FILE* file, int width, int height, RowReader readRow, void* context);
// The model's current frame: its cells in drawing order, one 'x y x2 y2 r g b' a line.
void WriteCells(FILE* file, const ModelState& model);
// The clock, the letterbox and every live oscillator of the model.
void WriteState(FILE* file, const ModelState& model);

struct WebPAnimEncoder;

// A lossless animated WebP under way, looping forever.
struct Animation {
    WebPAnimEncoder* encoder;
    int width;
    int height;
};

bool BeginAnimation(Animation* animation, int width, int height);
// Adds a picture of rgb rows (top row first, no padding) shown from the given time on.
bool AddAnimationFrame(Animation* animation, const unsigned char* rgb, int startMs);
// Ends the last frame at endMs, writes the animation and frees the encoder whatever happens; false
// when encoding failed (a failed write shows in the file's error flag, as for the other writers).
bool FinishAnimation(Animation* animation, int endMs, FILE* file);
// Frees the encoder of an animation that will not be written.
void DiscardAnimation(Animation* animation);
