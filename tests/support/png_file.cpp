// png_file.cpp -- the PNG files that the programs under test write, read back with libpng.
#include "png_file.h"

#include <png.h>

std::vector<unsigned char> ReadPngRgb(const std::string& path, int* width, int* height,
                                      bool dropAlpha) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()) ||
        (image.format != static_cast<png_uint_32>(PNG_FORMAT_RGB) &&
         !(dropAlpha && image.format == static_cast<png_uint_32>(PNG_FORMAT_RGBA)))) {
        png_image_free(&image);
        return {};
    }
    const bool alpha = image.format == static_cast<png_uint_32>(PNG_FORMAT_RGBA);
    *width = static_cast<int>(image.width);
    *height = static_cast<int>(image.height);
    std::vector<unsigned char> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
        return {};
    }
    if (alpha) {
        size_t to = 0;
        for (size_t from = 0; from < pixels.size(); from += 4, to += 3) {
            pixels[to] = pixels[from];
            pixels[to + 1] = pixels[from + 1];
            pixels[to + 2] = pixels[from + 2];
        }
        pixels.resize(to);
    }
    return pixels;
}
