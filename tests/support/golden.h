// tests/support/golden.h - 8-bit pictures compared byte for byte with
// checked-in PGM files under tests/data/<folder>/<name>.pgm.
//
// On a mismatch the actual picture and a diff (255 where they differ) go to
// the test output folder. Y32PATH_REGEN_GOLDEN=1 rewrites the expected
// pictures instead; look at them before committing.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace testing_support {

struct Gray {
    int w = 0, h = 0;
    std::vector<uint8_t> px;  // w * h bytes, rows top down
};

inline bool WritePgm(const std::string &file, const Gray &g) {
    std::ofstream f(file, std::ios::binary);
    f << "P5\n" << g.w << " " << g.h << "\n255\n";
    f.write(reinterpret_cast<const char *>(g.px.data()), static_cast<std::streamsize>(g.px.size()));
    return static_cast<bool>(f);
}

inline bool ReadPgm(const std::string &file, Gray *g) {
    std::ifstream f(file, std::ios::binary);
    std::string magic;
    int maxval = 0;
    if (!(f >> magic >> g->w >> g->h >> maxval) || magic != "P5" || maxval != 255 || g->w <= 0 || g->h <= 0)
        return false;
    f.get();  // the single whitespace before the pixels
    g->px.resize(static_cast<size_t>(g->w) * static_cast<size_t>(g->h));
    f.read(reinterpret_cast<char *>(g->px.data()), static_cast<std::streamsize>(g->px.size()));
    return static_cast<bool>(f);
}

// Compares `actual` with tests/data/<folder>/<name>.pgm.
inline void ExpectGolden(const std::string &folder, const std::string &name, const Gray &actual) {
    ASSERT_EQ(actual.px.size(), static_cast<size_t>(actual.w) * static_cast<size_t>(actual.h));
    const std::string dir = std::string(Y32PATH_TEST_DATA) + "/" + folder;
    const std::string golden = dir + "/" + name + ".pgm";
    const char *regen = std::getenv("Y32PATH_REGEN_GOLDEN");
    if (regen && std::string(regen) == "1") {
        std::filesystem::create_directories(dir);
        ASSERT_TRUE(WritePgm(golden, actual));
        GTEST_SKIP() << "rewrote " << golden << "; look at it before committing";
    }
    Gray want;
    ASSERT_TRUE(ReadPgm(golden, &want)) << "missing or malformed " << golden;
    if (want.w == actual.w && want.h == actual.h && want.px == actual.px) return;
    const std::string out = std::string(Y32PATH_TEST_OUT) + "/" + folder;
    std::filesystem::create_directories(out);
    WritePgm(out + "/" + name + ".actual.pgm", actual);
    if (want.w != actual.w || want.h != actual.h) {
        ADD_FAILURE() << name << ": " << actual.w << "x" << actual.h << ", golden " << want.w << "x" << want.h;
        return;
    }
    Gray diff{actual.w, actual.h, std::vector<uint8_t>(actual.px.size())};
    int n = 0;
    for (size_t k = 0; k < diff.px.size(); ++k) {
        diff.px[k] = actual.px[k] != want.px[k] ? 255 : 0;
        n += diff.px[k] != 0;
    }
    WritePgm(out + "/" + name + ".diff.pgm", diff);
    ADD_FAILURE() << name << ": " << n << " pixels differ; actual and diff written to " << out;
}

}  // namespace testing_support
