// png_file.cpp -- the PNG files that the programs under test write, read back with libpng.
#include "png_file.h"

#include <png.h>

std::vector<unsigned char> ReadPngRgb(const std::string& path, int* width, int* height) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()) ||
        image.format != static_cast<png_uint_32>(PNG_FORMAT_RGB)) {
        png_image_free(&image);
        return {};
    }
    *width = static_cast<int>(image.width);
    *height = static_cast<int>(image.height);
    std::vector<unsigned char> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
        return {};
    }
    return rgb;
}
