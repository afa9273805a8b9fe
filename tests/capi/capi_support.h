// tests/capi/capi_support.h - records built through the public header only,
// as a host builds them.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

#include "y32Path.h"

namespace capi_support {

// A record of lines through the points (pixels), closed on request.
inline KyPath *Polyline(std::initializer_list<std::pair<double, double>> pts, bool closed = false) {
    KyPath *p = KyPathCreate();
    uint32_t type = PT_MOVETO;
    size_t i = 0;
    for (const auto &xy : pts) {
        const FIXED f[2] = {DbToFix(xy.first), DbToFix(xy.second)};
        if (closed && ++i == pts.size()) type |= PT_CLOSEFIGURE;
        EXPECT_EQ(KyPathAddPoint(&p, f, type), 1);
        type = PT_LINETO;
    }
    return p;
}

}  // namespace capi_support
