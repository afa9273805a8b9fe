// tests/display/overlay_fixture.h - a table with a view and its overlay.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "core/view.h"
#include "support/records.h"
#include "y32Path.h"

namespace display_testing {

using testing_support::LinkList;
using testing_support::MakePath;

using testing_support::LinkSelection;
using testing_support::SelectPoint;

// A table whose overlay is w x h bytes and a view on it at zoom 1 with no
// scrolling, client rectangle (left, top)-(left + w, top + h). Paths put in
// `owned` are freed at the end unless the table took them.
class OverlayTest : public testing_support::PathTest {
  protected:
    void MakeView(int32_t w, int32_t h, int32_t left = 0, int32_t top = 0, double zoom = 1.0) {
        w_ = w;
        h_ = h;
        ASSERT_EQ(KyPathNew(&table_), 1);
        ASSERT_EQ(KyPathCoordStruct(left, top, left + w, top + h, 0, 0, zoom, table_, &view_), 1);
        ASSERT_NE(view_->lpDB, nullptr);
    }
    void TearDown() override {
        for (KyPath *p : owned_) KyPathDeletePtr(p, 0);
        if (table_) KyPathTblDelete(table_);
        if (view_) KyPathDeleteCoordStruct(view_);
        testing_support::PathTest::TearDown();
    }
    KyPath *Own(KyPath *head) {
        owned_.push_back(head);
        return head;
    }
    uint8_t At(int32_t x, int32_t y) const { return view_->lpDB[y * w_ + x]; }
    std::vector<uint8_t> Bytes() const { return std::vector<uint8_t>(view_->lpDB, view_->lpDB + w_ * h_); }
    int CountCovered() const {
        int n = 0;
        for (int32_t i = 0; i < w_ * h_; ++i) n += (view_->lpDB[i] & 0x3F) != 0;
        return n;
    }
    void Clear() { std::fill(view_->lpDB, view_->lpDB + w_ * h_, 0); }

    PathTable *table_ = nullptr;
    CoordStruct *view_ = nullptr;
    int32_t w_ = 0, h_ = 0;
    std::vector<KyPath *> owned_;
};

}  // namespace display_testing
