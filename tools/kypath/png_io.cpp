// tools/kypath/png_io.cpp - libpng's simplified interface, wrapped.
#include "tools/kypath/png_io.h"

#include <png.h>

#include <cstdio>
#include <cstring>

namespace kypath {

namespace {

// One writer and one reader for both pixel formats: libpng's format code
// is the only difference between them.
bool WritePng(const std::string &file, const uint8_t *pixels, uint32_t width, uint32_t height, size_t stride_bytes,
              uint32_t format, std::string *error) {
    if (width == 0 || height == 0) {
        if (error) *error = "an empty image cannot be written as PNG";
        return false;
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = format;
    if (!png_image_write_to_file(&image, file.c_str(), 0, pixels, static_cast<png_int_32>(stride_bytes), nullptr)) {
        if (error) *error = file + ": " + image.message;
        std::remove(file.c_str());  // no half-written file left behind
        return false;
    }
    return true;
}

bool ReadPng(const std::string &file, uint32_t format, std::vector<uint8_t> *pixels, uint32_t *width,
             uint32_t *height, std::string *error) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, file.c_str())) {
        if (error) *error = file + ": " + image.message;
        return false;
    }
    image.format = format;
    pixels->assign(PNG_IMAGE_SIZE(image), 0);
    png_color black{0, 0, 0};  // alpha is composed onto black
    if (!png_image_finish_read(&image, &black, pixels->data(), 0, nullptr)) {
        if (error) *error = file + ": " + image.message;
        png_image_free(&image);
        return false;
    }
    *width = image.width;
    *height = image.height;
    return true;
}

}  // namespace

bool WritePngGray(const std::string &file, const uint8_t *pixels, uint32_t width, uint32_t height,
                  size_t stride_bytes, std::string *error) {
    return WritePng(file, pixels, width, height, stride_bytes, PNG_FORMAT_GRAY, error);
}

bool WritePngRgb(const std::string &file, const uint8_t *pixels, uint32_t width, uint32_t height,
                 size_t stride_bytes, std::string *error) {
    return WritePng(file, pixels, width, height, stride_bytes, PNG_FORMAT_RGB, error);
}

bool ReadPngGray(const std::string &file, std::vector<uint8_t> *pixels, uint32_t *width, uint32_t *height,
                 std::string *error) {
    return ReadPng(file, PNG_FORMAT_GRAY, pixels, width, height, error);
}

bool ReadPngRgb(const std::string &file, std::vector<uint8_t> *pixels, uint32_t *width, uint32_t *height,
                std::string *error) {
    return ReadPng(file, PNG_FORMAT_RGB, pixels, width, height, error);
}

}  // namespace kypath
