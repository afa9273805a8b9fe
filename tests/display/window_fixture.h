// tests/display/window_fixture.h - a table in a 96 x 96 window: the
// overlay, a software device context for the node squares, and the
// pictures both must show.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "overlay_fixture.h"
#include "support/list_invariants.h"

namespace display_testing {

constexpr int32_t kWindow = 96;

class WindowTest : public OverlayTest {
  protected:
    void SetUp() override {
        OverlayTest::SetUp();
        MakeView(kWindow, kWindow);
        dc_ = y32CreateMemoryDC(kWindow, kWindow, 24);
        ASSERT_NE(dc_, nullptr);
    }
    void TearDown() override {
        y32DeleteMemoryDC(dc_);
        KyPathDrawNodesTurnOn(1);
        OverlayTest::TearDown();
    }

    PathGroup *Group() { return KyPathTblGroups(table_) + table_->current; }

    // The selection list in order (the current group's, or the one that
    // starts at `first`), once the lists were found sound: links mirrored,
    // members selected, the group naming the heads.
    std::vector<KyPath *> Selected(KyPath *first = nullptr) {
        if (first) EXPECT_TRUE(testing_support::ListInvariants(first));
        else EXPECT_TRUE(testing_support::TableInvariants(table_));
        std::vector<KyPath *> v;
        for (KyPath *r = first ? first : Group()->firstSelected; r; r = r->selNext) v.push_back(r);
        return v;
    }
    using Records = std::vector<KyPath *>;

    // Makes the list the current group's (the table then owns it), draws it
    // into the overlay and shows the nodes of its selected records, as a
    // host does after loading a document.
    void Install(KyPath *head) {
        ASSERT_EQ(KyPathAssignActivePath(table_, head), 1);
        Y32Rect r;
        ASSERT_EQ(KyPathDraw(view_, head, &r), 1);
        for (KyPath *p = head; p; p = p->next)
            if (p->flags & KPF_SELECTED) KyPathDrawNodes(dc_, p, view_);
    }

    static std::vector<uint8_t> PixelsOf(HDC dc) {
        Y32DcBits b{};
        y32GetMemoryDCBits(dc, &b);
        return std::vector<uint8_t>(b.bits, b.bits + static_cast<size_t>(b.strideBytes) * b.height);
    }
    std::vector<uint8_t> Window() const { return PixelsOf(dc_); }

    // What the window must show: the node squares of exactly the selected
    // records of the list, each drawn once, on a black window.
    std::vector<uint8_t> ExpectedWindow(KyPath *head) const {
        HDC ref = y32CreateMemoryDC(kWindow, kWindow, 24);
        for (KyPath *p = head; p; p = p->next)
            if (p->flags & KPF_SELECTED) KyPathDrawNodes(ref, p, view_);
        std::vector<uint8_t> px = PixelsOf(ref);
        y32DeleteMemoryDC(ref);
        return px;
    }
    bool WindowBlank() const {
        const std::vector<uint8_t> px = Window();
        for (size_t i = 0; i < px.size(); ++i)
            if (px[i]) return false;
        return true;
    }

    // What the overlay must hold: the list drawn afresh.
    std::vector<uint8_t> FreshOverlay(KyPath *head) {
        const std::vector<uint8_t> saved = Bytes();
        Y32Rect r;
        KyPathDraw(view_, head, &r);
        std::vector<uint8_t> fresh = Bytes();
        std::memcpy(view_->lpDB, saved.data(), saved.size());
        return fresh;
    }

    PathTable *TableOf() { return table_; }
    HDC dc_ = nullptr;
};

// A record's header and points as bytes, to show that nothing changed.
inline std::vector<uint8_t> Snapshot(const KyPath *p) {
    const uint8_t *b = reinterpret_cast<const uint8_t *>(p);
    return std::vector<uint8_t>(b, b + sizeof(KyPath) + static_cast<size_t>(p->count) * sizeof(PathPoint));
}

inline uint16_t TypeAt(const KyPath *p, int32_t i) { return KyPathPoints(const_cast<KyPath *>(p))[i].type; }

}  // namespace display_testing
