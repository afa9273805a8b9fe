// tests/support/owned_records.h - a PathTest that frees the record lists
// handed to Own() before it counts the heap's blocks.
#pragma once

#include <vector>

#include "support/path_fixture.h"

namespace testing_support {

class OwningPathTest : public PathTest {
  protected:
    KyPath *Own(KyPath *head) {
        owned_.push_back(head);
        return head;
    }
    void TearDown() override {
        for (KyPath *p : owned_)
            if (p) KyPathDeletePtr(p, 0);
        owned_.clear();
        PathTest::TearDown();
    }

  private:
    std::vector<KyPath *> owned_;
};

}  // namespace testing_support
