// deform/wrap_circles.cpp - text on generated circles (a wrap without a
// baseline path).
//
// Until the circle presets are built here, a wrap without a baseline is
// refused as an unsuitable argument.
#include "core/diag.h"
#include "deform/wrap.h"

namespace wrap {

bool WrapOnCircles(KyPath **figure, WrapInfo *info) {
    (void)figure;
    (void)info;
    Y32_REPORT(diag::kErrUnsuitable, 1, diag::kUnitWrap);
    return false;
}

}  // namespace wrap
