// shading/metallic.h - the metal reflectance table.
//
// 1000 doubles in one global-memory block, allocated on first use and
// released at detach: entry i is the mean of the s and p Fresnel
// reflectances of a conductor with complex index n + ik at the cosine
// i / 1000. Entry 0 (grazing) is 1 for every metal; entry 999 is about the
// reflectance at normal incidence, which gives a metal its colour.
#pragma once

#include <cstdint>

namespace shade {

// The table with the current metal, allocated (and loaded with metal 1)
// if needed; null when it cannot be allocated (error 1001 reported).
const double *ReflectanceTable();
// The metal loaded (1..4), 0 before the first use.
int32_t LoadedMetal();
// How many times a metal has been computed into the table since load.
uint32_t ReflectanceBuildCount();

}  // namespace shade
