// tools/kypath/png_io.h - 8-bit grey PNG files, through libpng.
//
// Masks leave the program as grey PNGs and golden images come back in the
// same form; both directions are lossless for 8-bit grey.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kypath {

// Writes width x height grey pixels, rows stride_bytes apart.
bool WritePngGray(const std::string &file, const uint8_t *pixels, uint32_t width, uint32_t height,
                  size_t stride_bytes, std::string *error);

// Writes width x height RGB pixels (three bytes each), rows stride_bytes
// apart.
bool WritePngRgb(const std::string &file, const uint8_t *pixels, uint32_t width, uint32_t height,
                 size_t stride_bytes, std::string *error);

// Reads any PNG as 8-bit grey (colour images are converted by libpng).
bool ReadPngGray(const std::string &file, std::vector<uint8_t> *pixels, uint32_t *width, uint32_t *height,
                 std::string *error);

// Reads any PNG as 8-bit RGB, three bytes per pixel, rows packed (grey
// and palette images are expanded, alpha is composed onto black).
bool ReadPngRgb(const std::string &file, std::vector<uint8_t> *pixels, uint32_t *width, uint32_t *height,
                std::string *error);

}  // namespace kypath
