// png_file.h -- the PNG files that the programs under test write, read back.
#pragma once

#include <string>
#include <vector>

// An 8-bit RGB PNG's pixels, top row first; empty when it cannot be read as one. With dropAlpha,
// an RGBA one's too, without its alpha (a compositor's screenshot).
std::vector<unsigned char> ReadPngRgb(const std::string& path, int* width, int* height,
                                      bool dropAlpha = false);
