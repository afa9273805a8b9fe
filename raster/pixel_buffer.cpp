// raster/pixel_buffer.cpp - the exported buffer functions.
#include "raster/pixel_buffer.h"

#include <cstring>

#include "core/diag.h"
#include "core/memory.h"

namespace pbuf {

uint64_t BlockBytes(int32_t depth, uint32_t width, uint32_t height) {
    // At most 2^32 * 2^32 * 8: computed in two steps so neither overflows
    // 64 bits before the 32-bit limit is checked.
    uint64_t pixels = static_cast<uint64_t>(width) * height;
    if (pixels > UINT32_MAX) return 0;
    uint64_t bytes = pixels * BytesPerPixel(depth) + kHeaderBytes;
    return bytes > UINT32_MAX ? 0 : bytes;
}

PathBuf AllocQuiet(int32_t depth, uint32_t width, uint32_t height, bool zero) {
    uint64_t bytes = BlockBytes(depth, width, height);
    if (bytes == 0 || bytes > SIZE_MAX) return nullptr;
    auto *block = static_cast<uint8_t *>(mem::MemAlloc(zero ? mem::kZeroInit : 0, static_cast<size_t>(bytes)));
    if (!block) return nullptr;
    Header *h = reinterpret_cast<Header *>(block);
    h->depth = depth;
    h->width = width;
    h->height = height;
    return block + kHeaderBytes;
}

}  // namespace pbuf

Y32_BEGIN_C

PathBuf KyPathBufAlloc(int32_t depth, uint32_t width, uint32_t height, int32_t /*planes*/,
                       int32_t /*reserved1*/, int32_t /*reserved2*/) {
    PathBuf buf = pbuf::AllocQuiet(depth, width, height);
    if (!buf) Y32_REPORT(diag::kErrNoMemory, 1, diag::kUnitPixelBuffers);
    return buf;
}

PathBuf KyPathBufDuplicate(int32_t /*reserved*/, PathBuf buffer) {
    if (!buffer) return nullptr;
    const uint8_t *src = static_cast<const uint8_t *>(buffer) - pbuf::kHeaderBytes;
    size_t bytes = mem::MemSize(src);
    auto *copy = static_cast<uint8_t *>(mem::MemAlloc(0, bytes));
    if (!copy) {
        Y32_REPORT(diag::kErrNoMemory, 1, diag::kUnitPixelBuffers);
        return nullptr;
    }
    std::memcpy(copy, src, bytes);
    *reinterpret_cast<pbuf::Header *>(copy) = *pbuf::HeaderOf(buffer);
    return copy + pbuf::kHeaderBytes;
}

int32_t KyPathBufFree(PathBuf buffer) {
    // Some callers use 1 as a "no buffer here" marker in their arrays.
    if (reinterpret_cast<uintptr_t>(buffer) == 1) return 1;
    if (!buffer) return 0;
    mem::MemFree(static_cast<uint8_t *>(buffer) - pbuf::kHeaderBytes);
    return 1;
}

uint32_t KyPathBufSize(PathBuf buffer) {
    if (!buffer) return 0;
    return static_cast<uint32_t>(mem::MemSize(static_cast<uint8_t *>(buffer) - pbuf::kHeaderBytes));
}

int32_t KyPathBufGetWHU(PathBuf buffer, uint32_t *width, uint32_t *height, int32_t *depth) {
    if (!buffer) return 0;
    const pbuf::Header *h = pbuf::HeaderOf(buffer);
    if (width) *width = h->width;
    if (height) *height = h->height;
    if (depth) *depth = h->depth;
    return 1;
}

int32_t KyPathBufLock1(PathBuf buffer, int32_t, int32_t, int32_t, PathBufLock *lock) {
    if (!buffer || !lock) return 0;
    lock->data = buffer;
    lock->rowPixels = pbuf::Width(buffer);
    return 1;
}

void *KyPathBufLineRead(const PathBufLock *lock, int32_t y) {
    size_t row_bytes = static_cast<size_t>(lock->rowPixels) * pbuf::BytesPerPixel(pbuf::Depth(lock->data));
    return static_cast<uint8_t *>(lock->data) + row_bytes * static_cast<uint32_t>(y);
}

int32_t KyPathBufUnlock1(PathBufLock *) { return 1; }

Y32_END_C
