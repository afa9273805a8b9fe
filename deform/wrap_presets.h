// deform/wrap_presets.h - ready-made wraps and the baseline kept with a
// wrapped figure.
//
// Baseline shapes. Both are 13-point records on the private heap built from
// quarter circles whose handles sit at k r (k = 0.5522847) along the
// tangents:
//   circle  closed, from the bottom point (cx, cy + r) through the left,
//           top and right points back to the bottom; shape code 1. The
//           mirror circle (text below the centre) starts at the top point
//           and runs through the left, bottom and right points.
//   wave    open S: from (cx - 2r, cy) up over (cx - r, cy - r) to
//           (cx, cy), down under (cx + r, cy + r) to (cx + 2r, cy), then
//           scaled about its box centre by 1.5 across and 0.75 up; shape 0.
//
// A wrapped figure keeps its baseline as the last record of its table list,
// flagged KPF_LASTMARK (a wrap baseline) and KPF_SELECTED, so the user can
// pick and drag its nodes; KyPathWrapAndUpdate re-wraps the original figure
// along the edited baseline and puts the new result and baseline in place.
// The table's "selected path" and "active path" are always those of its
// current group.
#pragma once

#include <cstdint>

#include "y32path/deform.h"

namespace wrap_preset {

constexpr double kHandle = 0.5522847;
constexpr int32_t kShapePoints = 13;

// Wave stretch about its centre after it is built.
constexpr double kWaveScaleX = 1.5;
constexpr double kWaveScaleY = 0.75;

enum class CircleStart { kBottom, kTop };

// The circle of radius r about (cx, cy). Null when out of memory (error
// 1001 reported with `report_line`).
KyPath *MakeCircle(double cx, double cy, double r, CircleStart start, int32_t report_line);
// The wave of half-wave r about (cx, cy). Null when out of memory.
KyPath *MakeWave(int32_t cx, int32_t cy, double r);

// Index of the first point of p whose type has `bit`, or -1.
int32_t FirstPointWith(const KyPath *p, uint16_t bit);

// Puts a baseline record (unlinked, the caller's until now) at the end of
// the table list holding p: a one-point placeholder at the tail is freed
// first, the list is deselected and made one group chain, and the baseline
// is appended with the flags KPF_SELECTED | KPF_LASTMARK (not in the group
// chain). Cannot fail.
void AttachBaseline(KyPath *p, KyPath *baseline);

// Fills the predefined wrap `type` about (x, y) with size `size`. False for
// a type outside the table (the record then holds only the common fields)
// or when its baseline cannot be built.
bool Predefined(WrapInfo *info, int32_t type, int32_t x, int32_t y, int32_t size);

}  // namespace wrap_preset
