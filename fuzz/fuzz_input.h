// fuzz/fuzz_input.h - shared pieces of the fuzz targets: a reader that turns
// the raw input into bounded call arguments, front to back, and the checks
// every target makes after a call.
//
// The reader gives 0 once the input is used up, so a short input still
// makes a whole, valid call; the seed writer (make_fuzz_seeds) writes the
// same layout with the same helpers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace fuzz {

class Reader {
public:
    Reader(const uint8_t *data, size_t size) : data_(data), size_(size) {}

    uint8_t U8() { return at_ < size_ ? data_[at_++] : 0; }
    // Little-endian; each byte read in its own statement, so the order
    // does not depend on the compiler.
    uint16_t U16() {
        const uint16_t lo = U8();
        return static_cast<uint16_t>(lo | U8() << 8);
    }
    uint32_t U32() {
        const uint32_t lo = U16();
        return lo | static_cast<uint32_t>(U16()) << 16;
    }
    uint64_t U64() {
        const uint64_t lo = U32();
        return lo | static_cast<uint64_t>(U32()) << 32;
    }
    int32_t I32() { return static_cast<int32_t>(U32()); }
    // A value in lo..hi (inclusive), from one byte when the range fits one.
    int32_t Range(int32_t lo, int32_t hi) {
        const uint32_t span = static_cast<uint32_t>(hi - lo) + 1u;
        const uint32_t raw = span <= 256 ? U8() : span <= 65536 ? U16() : U32();
        return lo + static_cast<int32_t>(span ? raw % span : raw);
    }
    bool Bit() { return U8() & 1; }
    size_t Left() const { return size_ - at_; }
    // The rest of the input, at most `cap` bytes.
    std::vector<uint8_t> Rest(size_t cap) {
        const size_t n = Left() < cap ? Left() : cap;
        std::vector<uint8_t> out(data_ + at_, data_ + at_ + n);
        at_ += n;
        return out;
    }

private:
    const uint8_t *data_;
    size_t size_;
    size_t at_ = 0;
};

// The seed writer's side of the same layout.
class Writer {
public:
    Writer &U8(uint8_t v) { bytes.push_back(v); return *this; }
    Writer &U16(uint16_t v) { return U8(static_cast<uint8_t>(v)).U8(static_cast<uint8_t>(v >> 8)); }
    Writer &U32(uint32_t v) { return U16(static_cast<uint16_t>(v)).U16(static_cast<uint16_t>(v >> 16)); }
    Writer &I32(int32_t v) { return U32(static_cast<uint32_t>(v)); }
    // The byte(s) Reader::Range(lo, hi) turns back into v.
    Writer &Range(int32_t lo, int32_t hi, int32_t v) {
        const uint32_t span = static_cast<uint32_t>(hi - lo) + 1u;
        const uint32_t raw = static_cast<uint32_t>(v - lo);
        if (span <= 256) return U8(static_cast<uint8_t>(raw));
        if (span <= 65536) return U16(static_cast<uint16_t>(raw));
        return U32(raw);
    }
    Writer &Text(const char *s) {
        bytes.insert(bytes.end(), s, s + std::strlen(s));
        return *this;
    }
    bool Save(const char *dir, const char *name) const {
        char file[1024];
        std::snprintf(file, sizeof file, "%s/%s", dir, name);
        FILE *f = std::fopen(file, "wb");
        if (!f) return false;
        const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        return std::fclose(f) == 0 && ok;
    }
    std::vector<uint8_t> bytes;
};

// A broken invariant is a finding: libFuzzer keeps the input that got here.
inline void Check(bool ok, const char *target, const char *what) {
    if (ok) return;
    std::fprintf(stderr, "%s: %s\n", target, what);
    std::abort();
}

}  // namespace fuzz
