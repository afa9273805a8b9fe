// tests/support/golden_png.h - pictures compared with checked-in PNG files
// under tests/data/<folder>/<name>.png, grey (1 channel) or RGB (3).
//
// A pixel differs when one of its channels is off by more than
// `tolerance`. On a mismatch the actual picture and a diff (255 where a
// pixel differs) go to the test output folder. Y32PATH_REGEN_GOLDEN=1
// rewrites the expected pictures instead; look at them before committing.
// Needs tools/kypath/png_io.cpp and libpng in the test target.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/kypath/png_io.h"

namespace testing_support {

inline void ExpectGoldenPng(const std::string &folder, const std::string &name, const std::vector<uint8_t> &px,
                            uint32_t w, uint32_t h, int channels, int tolerance = 0) {
    ASSERT_TRUE(channels == 1 || channels == 3);
    ASSERT_EQ(px.size(), size_t{w} * h * static_cast<size_t>(channels));
    auto write = [&](const std::string &file, const uint8_t *p, int ch, std::string *error) {
        return ch == 1 ? kypath::WritePngGray(file, p, w, h, w, error)
                       : kypath::WritePngRgb(file, p, w, h, size_t{w} * 3, error);
    };
    const std::string dir = std::string(Y32PATH_TEST_DATA) + "/" + folder;
    const std::string golden = dir + "/" + name + ".png";
    std::string error;
    const char *regen = std::getenv("Y32PATH_REGEN_GOLDEN");
    if (regen && std::string(regen) == "1") {
        std::filesystem::create_directories(dir);
        ASSERT_TRUE(write(golden, px.data(), channels, &error)) << error;
        GTEST_SKIP() << "rewrote " << golden << "; look at it before committing";
    }
    std::vector<uint8_t> want;
    uint32_t ww = 0, wh = 0;
    const bool read = channels == 1 ? kypath::ReadPngGray(golden, &want, &ww, &wh, &error)
                                    : kypath::ReadPngRgb(golden, &want, &ww, &wh, &error);
    ASSERT_TRUE(read) << error << " (run with Y32PATH_REGEN_GOLDEN=1 to create it)";
    const std::string out = std::string(Y32PATH_TEST_OUT) + "/" + folder;
    std::filesystem::create_directories(out);
    if (ww != w || wh != h) {
        write(out + "/" + name + ".actual.png", px.data(), channels, nullptr);
        FAIL() << name << ": size " << w << "x" << h << ", golden " << ww << "x" << wh << "; actual written to " << out;
    }
    std::vector<uint8_t> diff(size_t{w} * h, 0);
    size_t off = 0;
    for (size_t i = 0; i < px.size(); ++i)
        if (std::abs(int{px[i]} - int{want[i]}) > tolerance && !diff[i / static_cast<size_t>(channels)]) {
            diff[i / static_cast<size_t>(channels)] = 255;
            ++off;
        }
    if (off == 0) return;
    write(out + "/" + name + ".actual.png", px.data(), channels, nullptr);
    write(out + "/" + name + ".diff.png", diff.data(), 1, nullptr);
    ADD_FAILURE() << name << ": " << off << " pixels off by more than " << tolerance << "; actual and diff written to "
                  << out;
}

}  // namespace testing_support
