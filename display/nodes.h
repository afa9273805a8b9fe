// display/nodes.h - what each point of a record is, for the node layer.
//
// Node squares, handle lines and the node exchange with the host all ask
// the same questions: is this point a node or a control point, and which
// nodes are its neighbours along the subpath. On a closed subpath point 0
// and the closing point are one node (the closing point repeats point 0),
// so the neighbours wrap around through it.
#pragma once

#include <cstdint>
#include <vector>

#include "y32path/types.h"

namespace nodes {

enum class Role : uint8_t {
    kNode,      // a position the subpath passes through
    kControl1,  // first control point of a curve
    kControl2,  // second control point of a curve
    kParameter  // a special entry: no position
};

// The roles of a record's points, stepped the way every walker steps.
std::vector<Role> RolesOf(const KyPath *p);

// Neighbouring nodes of node k: the start of the segment that ends at k and
// the end of the segment that starts at k, wrapping on a closed subpath;
// -1 at an open end.
int32_t PrevNode(const KyPath *p, const std::vector<Role> &roles, int32_t k);
int32_t NextNode(const KyPath *p, const std::vector<Role> &roles, int32_t k);

// Whether node k carries PT_SELECTED; on a closed subpath point 0 and the
// closing point answer together.
bool NodeSelected(const KyPath *p, int32_t k);

// The library-wide nodes switch.
bool NodesShown();

}  // namespace nodes
