// tests/support/path_fixture.h - shared helpers for tests on path records.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "core/fixed.h"
#include "core/memory.h"
#include "core/path_record.h"
#include "platform/debug_output.h"
#include "y32Path.h"

namespace testing_support {

struct Pt {
    uint16_t type;
    double x, y;
};

// Builds a record from points given in pixels.
inline KyPath *MakePath(std::initializer_list<Pt> pts) {
    KyPath *p = KyPathCreate();
    for (const Pt &pt : pts) {
        FIXED xy[2] = {DbToFix(pt.x), DbToFix(pt.y)};
        if (!KyPathAddPoint(&p, xy, pt.type)) return nullptr;
    }
    return p;
}

// Links records into one table list in the order given.
inline void LinkList(std::initializer_list<KyPath *> records) {
    KyPath *prev = nullptr;
    for (KyPath *r : records) {
        r->prev = prev;
        if (prev) prev->next = r;
        prev = r;
    }
}

// Collects the debugger output while it lives.
class DebugCapture {
  public:
    DebugCapture() { previous_ = plat::SetDebugSink(&Sink, this); }
    ~DebugCapture() { plat::SetDebugSink(previous_, nullptr); }
    const std::vector<std::string> &lines() const { return lines_; }

  private:
    static void Sink(const char *text, void *user) { static_cast<DebugCapture *>(user)->lines_.push_back(text); }
    plat::DebugSink previous_;
    std::vector<std::string> lines_;
};

// Initialises the library and fails the test when blocks of the private
// heap were left behind by it.
class PathTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(KyPathInit(), 0x30000);
        live_at_start_ = plat::HeapLiveBlocks(mem::PrivateHeap());
    }
    void TearDown() override {
        plat::FailAllocationAt(-1);
        EXPECT_EQ(plat::HeapLiveBlocks(mem::PrivateHeap()), live_at_start_) << "private heap blocks leaked";
    }
    size_t LiveBlocks() const { return plat::HeapLiveBlocks(mem::PrivateHeap()); }
    static size_t BlockSize(const KyPath *p) { return mem::PathBlockSize(p); }

  private:
    size_t live_at_start_ = 0;
};

}  // namespace testing_support
