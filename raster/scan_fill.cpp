// raster/scan_fill.cpp - the production scanline filler.
//
// Same bytes as the reference (scan_fill_reference.cpp), reached with less
// work:
//  - Edges are flattened once per group, not once per band, and chords
//    that continue each other (the many sub-pixel chords of a curve) become
//    one active edge. Edges are ordered by first sub-scanline with two
//    counting passes instead of a comparison sort.
//  - Most rows are estimated rows (EstimatedRows below): crossings are
//    estimated from a slope divided once per chord, each estimate with a
//    proven bound on its distance from the reference's crossing, and the
//    row is written only when every pixel's byte is certain over the
//    bounds. Steep chords that stay in one pixel cost one line evaluation
//    per row, not one division per sub-scanline.
//    Edges that cross or come too close within a row take their crossings
//    there the exact way, inside the estimated row (see Exact).
//  - The other rows (more than a few such edges, a byte within a rounding
//    of a step) are exact rows: every crossing with the reference's
//    expression, one division each, lists per sub-scanline, spans as cell
//    updates (below).
//  - A fresh 8-bit mask (FillSpec::blank) is written once, zeros included,
//    row by row while the row is in cache, instead of a whole-buffer
//    clear followed by a second pass over the covered pixels.
//
// Why exact rows give the reference's bytes. The reference adds, per
// pixel, the contributions 1 - frac(a), frac(b), frac(b) - frac(a) and 1.0
// in sub-scanline order. For a pixel p >= 8 every contribution comes from
// an x in [p, p + 1), so each is an exact multiple of ulp(8) = 2^-49 (the
// subtractions that make them are exact: Sterbenz for x - floor(x), and
// the rest are differences of such multiples below 1). The reference's
// running sum stays below subs <= 16 = 2^53 * 2^-49, so every one of its
// additions is exact too: its result is the exact sum, whatever the order.
// Here the same sum is kept as an integer count of 2^-49 units (partial
// contributions) plus 2^49 per full pixel, and converted once; the
// conversion is exact below 2^53. Pixels 0..7 can see finer contributions
// (x below 8 has a finer ulp), where double addition may round and the
// order matters; they are accumulated in doubles in exactly the reference's
// order. Why estimated rows do: see the block before EstimatedRows.
//
// Measured (bench/raster_bench.cpp; instruction counts from callgrind on
// the same run, which moved with the times) and kept or rejected:
//  - Kept: estimated rows. Star of 200 points at 2048: 1.83 x cairo with a
//    division per crossing, about 1.0 without; circle of 4 cubics at 2048:
//    1.67 -> about 0.95.
//  - Kept: blank masks written once (circle at 2048: the clear was 28% of
//    the time).
//  - Rejected: incremental crossings (x += dx/dy) in exact rows: a
//    different rounding, so different bytes. Estimated rows step along a
//    line only with the stepping error inside the bound.
//  - Rejected: a bit set of touched pixels (two levels) for the estimated
//    rows: three walks per row over the marks cost more than sweeping the
//    row in edge order with one short range of open cells.
//  - Rejected: certifying the order by each edge's whole-row extent alone:
//    edges leaving one vertex overlap there, and half the star's rows at
//    256 fell back to exact rows; overlapping extents are now settled by
//    comparing the two edges where either changes chord, and new edges are
//    admitted by their first crossing, not their upper end.
//  - Rejected: one crossing at a time for every part that spans pixels
//    (star at 2048: +12% instructions); kept only where crossings are more
//    than half a pixel apart, runs in closed form otherwise.
//  - Rejected: each chord's contribution worked out when it is built, for
//    chords within one row: +25 instructions per chord against -14 per
//    part (circle at 256: +6% instructions).
//  - Rejected: the edge routine out of line: +2% instructions.
//  - Kept: the flattener's callback only queues chords (256 at a time) and
//    a loop of its own builds them, so the walk keeps its state in
//    registers; the rasteriser's flattener settings a compile-time
//    constant; the chord array sized from the curves' control polygons (the
//    doubling copies were 3% at 2048).
//  - Kept (scene B, the {199/83} star, 1024 square: ~115 edges per row
//    crossing each other ~16 times per row, so nearly every row is exact;
//    instructions per fill from callgrind): an edge on one chord for the
//    whole row steps its sub-scanline centre by 1/subs and takes its row
//    extent from its two ends, crossings written through per-sub-scanline
//    pointers (non-zero 143M -> 112M); after a failed estimated row the
//    next 1, 3, 7 or 15 rows go straight to the exact way (the tries were
//    10% of B and fail there every time; 112M -> 91M with the sort change
//    below); the insertion sort skips the store of a crossing already in
//    place and compares positions alone under even-odd; the non-zero sweep
//    tests one condition per crossing (91M -> 80M).
//  - Measured and left: the division per crossing. With the slope
//    multiplied instead (wrong bytes, only to time it) B ran 1-2% faster:
//    the generation, sort and sweep of 1.9M crossings per fill is the cost,
//    about 15, 12 and 11 instructions each.
//  - Kept (32-bit masks): whole pixels of spans over 64 pixels counted in
//    one word per pixel and cleared at the row's end instead of a strided
//    byte store per pixel and sub-scanline (scene A 28.6M -> 24.8M); a
//    fresh mask set to "nothing covered" row by row here, not zeroed by
//    the allocation and then set twice (24.8M -> 20.9M, 1.6 -> 1.25 ms).
//    Shorter spans kept the byte stores while the row's end swept every
//    pixel between the first and last count; with a bit per changed
//    pixel the sweep visits only the changes, and every span with whole
//    pixels is counted (A 1.17 -> 1.01 ms, B 2.32 -> 1.99 ms, C 0.71 ->
//    0.43 ms at 1024; 23-46% less at 2048).
//  - Kept (circle of 4 cubics at 256, where per-chord and per-row work is
//    all there is; allocation, arrays and clearing are under 5%): a chord
//    in known pixels summed as one or two pieces by one test (646K ->
//    607K instructions per fill); rows with two edges from top to bottom
//    skip the role table (607K -> 562K); a cell's error bound as a count of
//    terms times one unit; the chord builder's constants in locals (as
//    members they were reloaded after every chord stored). About 13% less
//    time in all.
//  - Rejected: every division of the chord queue done first (5-8% slower:
//    a second division per chord costs more than the latency it hides); a
//    branch-free row writer (more instructions, no faster); word stores for
//    short runs instead of memset (star at 2048 and scene A 3-8% slower).
//  - Times moved by up to 25% with code layout alone (scene B's exact rows
//    after the row routine was split, instructions unchanged): compare a
//    change against the filler before it on every scene, not one case.
//  - Kept (circle at 256, compared in alternating runs against the filler
//    before each step): a row of two edges whose touched pixels do not
//    overlap written as its five pieces in order, without the walk over
//    open cells (543K -> 503K instructions per fill, about 6% less time);
//    room for the whole chord queue made before it is worked off, so a
//    chord is stored without a test (503K -> 494K, about 2%).
//  - Rejected there, each no faster in alternating runs: the border guess
//    scaled by a 12-bit reciprocal estimate instead of its division (the
//    slope's division stays: the bound is worked out for the rounded
//    quotient); a short fresh row cleared whole instead of at both ends;
//    runs of 16 to 64 bytes stored inline in the two-edge writer; the cell
//    loop specialised for fresh anti-aliased masks (-0.4% instructions);
//    chord extents as min/max (no fewer instructions).
//  - Kept (circle at 256, the rows of two edges; instructions per fill
//    from callgrind): those rows run in one loop inside the estimator,
//    the edges' chords and the loops' constants in locals (469.6K ->
//    443.7K); the boxes' pixel ends as plain truncations when the extents
//    are apart and inside (-> 438.4K); an edge's next part taken from the
//    next chord, not searched for (-> 431.8K); one certification rule for
//    the cells of fresh anti-aliased masks (-> 423.6K); a part's split
//    tested against its end first and its mean height as one product (->
//    415.6K); a cell's bound as a count of terms, 16-byte cells (->
//    412.7K). The runs around a fresh row's cells written up to 32 rows
//    (8 KB) at a time by a loop of their own: no fewer instructions, about
//    6% less time (memset calls in the row loop saved and restored its
//    registers), for rows up to 512 bytes only (wider rows are written in
//    address order: with the cells first the circle at 2048 took 7-16%
//    longer). In all 1.43 -> 1.29 s for 60000 circles at 256, level with
//    cairo in the same runs.
//  - Rejected there: a fresh row's trailing zeros merged with the next
//    row's leading ones, in the row loop (-0.2% instructions, no faster)
//    and in the batch writer (+0.1%); the edges' chords stored back after
//    every row instead of kept in locals (+0.1%); a row's three runs in
//    one call of their own (more instructions: the call still saved the
//    loop's registers); a prefetch, for wide rows written cells first, of
//    the last row's cell lines (won back a third of the loss).
//  - Kept (the chord builder and the flattener, circle at 256: 1024
//    chords, instructions per fill from callgrind): the flattener shows
//    eight rounds at a time free of halving and of the curve's end by one
//    bound, instead of testing every round (469.6K -> 465.4K); its queue
//    holds chord ends only, worked off in a loop per direction of the open
//    run with the run's end, the latest point's index and the chord
//    pointer in registers, other chords taking a general step (-> 430.5K;
//    builder 141K -> 117K, flattener 35K -> 24K); the run's direction in a
//    register, the index clamped by a max and a min (-> 426.1K); the
//    extent's low end as xe < x0 ? xe : x0, which the compiler makes a
//    min (-> 425.0K); the queue written through a pointer (-> 422.1K).
//    About 5% less time on the circle; shapes of long lines that turn at
//    every vertex (the zigzag star, scene B) take the general step for
//    every chord and stay within 0.3% of their instructions.
//  - Rejected: runs going up stored from the end of the array's room down
//    and moved into place when they end, instead of reversed: the move
//    (the library's byte move, 32K instructions per fill under callgrind)
//    costs more than the reverse (4.5K), and a copy loop of our own as
//    much as the reverse.
//  - Kept (32-bit masks, scenes A and B at 1024, instructions per fill
//    from callgrind, ms per fill best of 5 alternating): a span end's pixel
//    and bit from one conversion of 8x + 0.5, the sweep's bounds per
//    sub-scanline rather than per span (B even-odd 50.6M -> 47.2M, A
//    16.5M -> 15.9M); under even-odd no sort, each crossing flipping the
//    bits before it and its parity from its pixel on (B even-odd 4.3 ->
//    3.4 ms: the sort's branches mispredicted on nearly every out-of-place
//    crossing, the instructions fell only to 46.4M); the whole-pixel
//    counts as parities under both rules (no test of the rule per span).
//    In all A 1.08 -> 0.99 ms, A even-odd 1.09 -> 1.04, B 2.28 -> 2.21.
//  - Rejected there: the span written without branches on its length
//    (more instructions, B even-odd slower); a row's four crossings
//    written out for edges through the whole row (B even-odd 46.4M ->
//    43.4M instructions, yet B 4% slower); the row's crossing bounds
//    gathered with the crossings instead of a pass over the edges (B
//    non-zero 34.8M -> 35.5M); the edges' retirement fused with their
//    insertion sort (B even-odd 46.4M -> 45.5M, 8-bit B even-odd -3%, but
//    no faster on the 32-bit scenes).
//  - Kept (32-bit masks, same measures): crossings as words of their
//    rounded eighth and direction, made when generated (Mask32Rows), with
//    an edge's four crossings on one chord worked out two at a time and
//    four edges' words transposed into the lists; the lists ordered by
//    one branch-free pass carrying the largest word (B non-zero: a
//    crossing in 12 out of place, in a third of the blocks of four); the
//    non-zero sweep four words at a time. A 16.1M -> 15.1M, A even-odd
//    15.3M -> 13.8M, B 34.6M -> 34.1M, B even-odd 45.7M -> 37.9M; A 1.03
//    -> 0.91 ms, B 2.24 -> 2.20 (B even-odd level: its unsorted flips
//    were already free of the sort's branches). Then an edge's row extent
//    by a min and a max instead of a branch on its slant, which B's edges
//    mispredicted (B 2.11 -> 1.94 ms, B even-odd 3.08 -> 2.96).
//  - Rejected there: the words made with one conversion each, one at a
//    time (B non-zero 34.6M -> 40.4M: a span end was converted, now every
//    crossing is); the insertion sort with its in-place test four words at
//    a time (B 30.1M instructions, slower than the branch point: the test
//    mispredicted in a third of the blocks); the sort by eighths alone,
//    ties left as they come (no fewer crossings moved); one round of
//    compare-exchange on neighbours four words at a time in place of the
//    carrying pass (B 34.1M -> 33.1M, no faster; tried again after the
//    extents' branch was gone: no faster); the four crossings of an edge
//    on two or more chords in the row (curves) also two at a time, each
//    from its own chord (A 15.10M -> 14.91M, no faster; B slower from the
//    extent of four crossings instead of two); the carrying pass's test
//    of order as the sign of k - out gathered by OR, not a compare per
//    crossing (B 34.17M -> 33.70M, no faster).
//  - Kept (8-bit masks, scene A at 1024: 980 rows of about 28 edges;
//    instructions per fill from callgrind, ms per fill best of 5
//    alternating): of 864 rows tried as estimated rows 96 failed, every
//    one on two edges crossing within the row (the star's and a circle's
//    or the loop's; no byte was in doubt, no vertex in the way), and the
//    back-off after each sent 116 more the exact way, 100 of which would
//    have passed: 212 exact rows at about 30K instructions each against
//    15K for an estimated one. Edges that do not keep apart now take their
//    crossings the exact way inside the estimated row (Exact): every row
//    of A is estimated, 118 of them with 268 exact edges in all (A 21.3M
//    -> 18.1M, 1.90 -> 1.68 ms; even-odd 22.3M -> 19.2M, 2.00 -> 1.78 ms;
//    B 82.7M -> 80.1M, even-odd 136.3M -> 129.8M: its rows near the top
//    and bottom have few crossings). The row routine grew past the
//    compiler's inlining limit with it; out of line it cost C 0.5% and A
//    0.7% more, so it is forced inline. Then: the winding left of a run
//    of exact edges from one sum per edge, not per edge and sub-scanline
//    (A -> 17.87M), up to 16 exact edges a row instead of 8 (A the same,
//    B 80.1M -> 79.9M, even-odd 125.5M; with 32 B rose to 81.5M, its
//    tries failing later and more often; 32 under even-odd alone took B
//    even-odd from 123.5M to 121.3M and was no faster, 0.98 / 0.99 s for
//    100 fills, so not kept); the writer taking the boxes in
//    the active order when they come by first pixel anyway (-> 17.58M),
//    a box inside the buffer as two truncations (-> 17.33M), a cell's
//    constant error terms as one constant (-> 17.27M, circle at 256
//    366.0K -> 364.8K). In all A 21.3M -> 17.3M and 1.72 -> 1.48 ms,
//    even-odd 22.3M -> 18.5M and 1.92 -> 1.64 ms, B 82.7M -> 77.8M,
//    even-odd 136.3M -> 123.5M. A now costs about 14M in the estimated
//    rows (510 instructions per edge and row: certifying 53 cells a row
//    about 45 each, the writer's runs between the boxes, the parts of
//    lines across pixels), chords 1M, the row loop 0.7M.
//  - Rejected there: the writer's runs between the boxes kept in a list
//    and written after the row by a loop of their own, as the rows of two
//    edges do (A 17.27M -> 17.33M; best of 7 alternating, 1000 fills, A
//    1.51 / 1.55 s and even-odd 1.73 / 1.70 s: within the noise).
//  - Kept (the same scene, profiled by time): the lines across pixels
//    (Split, a fifth of A's time against 15% of its instructions) had
//    each run's split wait on the conversions of its first crossing, a
//    chain of about 40 cycles a pixel; the split now comes from the pixel
//    expected next and is only checked against the crossing's (A 17.27M
//    -> 17.47M instructions but 1.60 -> 1.51 ms, even-odd 18.46M ->
//    18.73M and 1.73 -> 1.63 ms, best of 5 alternating, 1000 fills; B,
//    C and the circle within the noise). Then the expected pixel kept as
//    an integer and a double and the crossings' numbers as doubles, a
//    crossing tested against the expected pixel without converting it:
//    three conversions a run instead of seven (the same instruction
//    count; Split's samples 10% fewer, about 1.5% of A's time).
//  - Rejected there: a cell's two ends certified side by side in one
//    register of two doubles (the same decisions; A 17.47M -> 17.58M, no
//    faster: the loop is bound by its loads, conversions and stores); a
//    fresh row's gaps between the cells of up to 8 bytes written as 8
//    bytes (what lies past them is written over next) instead of a test
//    on an empty gap, which a branch simulation showed missed about 12K
//    times a fill (A 17.47M -> 17.75M; cpu-clock samples in the row
//    routine 12917 / 13194 / 13504 -> 13519 / 13007 / 13018 in three
//    alternating runs: no faster).
//  - Kept (8-bit, same measures): under non-zero an edge without a role
//    on every sub-scanline of the row (inside a covered area: A's circles
//    and loop inside the star, B's inner edges) left out of the writer's
//    boxes, so its cells are not certified and the runs either side of it
//    are one memset (A 17.27M -> 16.70M, 1.52 -> 1.48 ms; B 77.00M ->
//    73.66M; A even-odd 18.53M -> 18.55M; circle at 256 364.5K ->
//    364.3K). Marking the boxes in the edge loop instead, with a flag in
//    the box and a test per box in the writer, took A even-odd to 18.96M
//    (40-byte boxes) or 19.09M (the flag in a pixel's top bit): the marks
//    are now made after the loop, only where the roles loop saw such an
//    edge, and the writer's list is built there.
//  - Rejected there: the test of a line's part staying in one pixel
//    (FullEdge) as one branch on flags instead of a branch per part
//    (A 16.70M -> 16.62M, yet 2.26 / 2.26 / 2.25 / 2.26 -> 2.28 / 2.27 /
//    2.27 / 2.27 s for 1500 fills, alternating). Edges without roles
//    also left out in rows where edges start or end, their roles per
//    sub-scanline looked at (A 16.70M -> 16.72M).
//  - Kept (32-bit masks, where no row is estimated; instructions per fill
//    from callgrind at 1024, ms per fill best of 5 alternating): chords
//    built without what only the estimated rows read (no slope's
//    division, no certain pixels or border guess, no reach test: the
//    builder's variant is chosen once per fill), an edge admitted at its
//    first crossing by the exact expression (A 16.08M -> 15.55M, the
//    builder 877K -> 370K); the retiring pass only in rows where an
//    active edge ends, and the carried edges' insertion sort skipped
//    after an exact row whose edges kept apart in order (A -> 15.11M, B
//    34.47M -> 33.56M). A 1.03-1.06 -> 0.92-0.95 ms; raster_bench A
//    -8%/-9%, C -21%/-15% at 1024/2048.
//  - Rejected there: the builder's variant picked by building in a
//    function template of its own (8-bit B +2% instructions: the row
//    loop's registers allocated otherwise); the retiring pass out of line
//    (no fewer instructions in all, 8-bit B even-odd +0.5%); the carried
//    edges' sort keeping the largest x so far in a register (B 8x4
//    even-odd 45.60M -> 43.70M, 8-bit B even-odd 136.2M -> 133.0M, A
//    unchanged, yet A 8x4 3-4% slower in both the shared library and
//    raster_bench, B 8x4 4-5% faster). Kept with a
//    cost: 8-bit B even-odd +1% instructions from the span writer's
//    registers, and in the shared library 8-bit B non-zero 3-6% slower
//    with fewer instructions (its crossing sort placed across a 64-byte
//    line; the static raster_bench, laid out otherwise, -1.7%..+0.6%).
//  - Kept (32-bit masks, scene A at 1024, best of 5 alternating, 1000
//    fills): the unsorted even-odd rows no longer keep the least and
//    greatest pixel per crossing; the sweep reads every word of the marks
//    instead (A even-odd 12.85M -> 12.21M instructions, 0.95 / 1.02 ->
//    0.90 / 0.98 ms in two runs; B even-odd 36.94M -> 33.94M, 3.30 ->
//    3.03 ms).
//  - Rejected there: crossings of an edge through the whole row as
//    products with the chord's reciprocal (set by the builder), each
//    eighth checked to lie clear of its neighbours by the products' bound
//    and the pair divided only when in doubt (the same bytes; A 14.13M ->
//    15.00M instructions, 0.99 -> 1.04 ms, B 33.20M -> 37.48M, 2.06 ->
//    2.38 ms: the divisions overlap with other work, the checks do not);
//    the sweep's runs of up to 64 bytes zeroed by overlapping stores
//    instead of a memset call (A 0.92 -> 0.93 ms, even-odd 0.95 -> 0.99);
//    non-zero lists whose winding stays within -1 .. 1 and ends at 0
//    written by the even-odd flips after a check four words at a time (A
//    14.13M -> 14.27M, 0.98 -> 1.04 ms: few of A's lists qualify); the
//    flips' kLeftMask load as a shift (A even-odd 12.21M -> 12.45M, no
//    faster); the non-zero blocks of four visiting only their crossings
//    where a span starts or ends, by the bits of two compares, instead of
//    stepping the winding through all four (A 14.13M -> 14.60M, 0.87 /
//    0.88 -> 0.90 / 0.94 ms: in A nearly every crossing starts or ends a
//    span); the pending keys of up to four edges in four registers moved
//    along, not an indexed array the compiler keeps in memory (A 14.13M
//    -> 14.23M, B 33.19M -> 33.52M; A 0.88-0.90 -> 0.86-0.89 ms and
//    even-odd 0.88 -> 0.85 but 0.85 -> 0.86 in a second run, B 1-2.5%
//    slower in three runs).
//  - Kept (32-bit masks, scenes A and B at 1024; instructions per fill
//    from callgrind, row clears included, which it counts a byte at a
//    time; ms per fill best of 5 alternating, 1000 fills): perf put the
//    row-end sweep at a quarter of A's time (a row with nothing swept ran
//    0.69 ms against 0.92): about 33 changes a row, the runs between them
//    mostly one pixel long, a branch or two missed on each. Changes are
//    now marked by groups of four pixels and each marked group cleared by
//    a prefix XOR four words at a time (A even-odd 0.87 -> 0.77 ms, B
//    even-odd 2.82 -> 2.39). Then: the marks as byte stores, not bits set
//    by a read-modify-write that chained each mark to the last through
//    memory (A 0.82 -> 0.78 ms); the spans' bounds found once for the four
//    lists of a row whose edges all cross them in order (A 14.24M ->
//    13.76M), such a span written on the four sub-scanlines together, a
//    memset for the pixels whole on all four and a masked 16-byte AND for
//    each ragged end of up to four pixels (A 13.35M -> 13.02M, 0.75 ->
//    0.68 ms), also when the edges' x ranges meet but the lists' eighths
//    still go up (A -> 12.66M, 0.75 -> 0.67 ms), and that test in place of
//    tracking each edge's x range (B 29.83M -> 28.86M); the carrying pass
//    four words at a time, with 16-bit maxima below 2^15 (B 33.39M ->
//    30.19M, 1.93 -> 1.61 ms); an edge's words clamped after scaling, one
//    constant fewer (the compiler had reloaded two for every edge), and
//    the one-chord test first (B 28.86M -> 27.03M, 1.58 -> 1.47 ms). In
//    all A 14.13M -> 12.09M and 0.83 -> 0.65 ms, even-odd 12.21M ->
//    11.64M and 0.78 -> 0.66, B 33.19M -> 27.03M and 1.87 -> 1.46, even-odd
//    33.94M -> 29.04M and 2.73 -> 2.13.
//  - Rejected there: the spans of such rows written whole without the
//    masked ends, the ragged pixels by loops a sub-scanline at a time (A
//    0.85 -> 0.89 ms, even-odd 0.77 -> 0.89: the loops' counts
//    mispredicted); each sub-scanline's changes as byte stores into its own
//    byte of the words (within the noise); the carried edges ordered by a
//    branch-free pass carrying the edge of greatest x (B 32.64M -> 33.31M,
//    no faster: an edge moved further in 17% of rows and the sort ran
//    anyway), or by the last list's eighths packed with the edges' places
//    and carried four at a time (B 28.86M -> 30.00M; the sort's share of
//    B's time fell from 18% to 6% and the row's grew as much); the whole
//    library built for AVX2 (VEX encoding alone: A 0.87 -> 0.88 ms, B 1.88
//    -> 1.77, within the noise).
//  - Kept (same measures): the row's work also built for AVX2 and picked
//    at Init when the processor has it (a test switch picks the baseline
//    build, and the corpus runs both): an edge's four crossings in one
//    four-wide operation per step, written with the compiler's vector
//    types so one body serves both builds (A 12.09M -> 11.64M, 0.71 ->
//    0.68 ms; B 27.03M -> 24.13M, 1.58 -> 1.41 ms; even-odd A 0.73 ->
//    0.68, B 2.33 -> 2.07).
// Where the instructions go now (circle at 256, about 1000 chords for 246
// rows, both series together: 366K per fill): the rows of two edges 176K
// (the edges' parts, certifying about 1100 touched pixels, the runs 26K
// more in memset and their batch loop), building chords 112K (one
// division each, a second for the guess of a chord crossing one pixel
// border), the flattener 21K, the row loop 15K.
// Every chord here is a line the reference intersects on its own, so the
// chords cannot be fewer.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <type_traits>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/memory.h"
#include "raster/pixel_buffer.h"
#include "raster/scan_fill.h"

#if defined(__x86_64__) && defined(__SSE2__) && defined(__GNUC__)
// 32-bit rows also come built for AVX2, picked when the processor has it.
#define Y32_WIDE_ROWS 1
#endif

namespace raster {

const uint8_t kLeftMask[9] = {0x00, 0x80, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC, 0xFE, 0xFF};
const uint8_t kRightMask[9] = {0xFF, 0x7F, 0x3F, 0x1F, 0x0F, 0x07, 0x03, 0x01, 0x00};

void ClearMask32(PathBuf buf) {
    size_t bytes = static_cast<size_t>(pbuf::Width(buf)) * pbuf::Height(buf) * 4;
    std::memset(buf, 0xFF, bytes);
}

namespace {

#if defined(Y32_WIDE_ROWS)
typedef double V4d __attribute__((vector_size(32)));
typedef int32_t V4i __attribute__((vector_size(16)));
#endif

constexpr uint32_t kExactFrom = 8;                 // first pixel summed as integers
constexpr double kUnit = 562949953421312.0;        // 2^49
constexpr double kInvUnit = 1.0 / 562949953421312.0;

// One flattened line, within a chain.
struct Chord {
    double x0, y0, dx, dy;  // start point and (x1 - x0, y1 - y0), in path direction
    double slope;           // dx / dy, for the estimated rows
    int64_t g1;             // one past its last sub-scanline
    // Estimated rows: the pixels its crossings lie in for sure: px for its
    // sub-scanlines below split, px2 for the rest (px == kNoPixel: not
    // known). 64 bytes in all. Fills without estimated rows leave slope,
    // split, px and px2 unset.
    int64_t split;
    uint32_t px, px2;

    double Lo() const { return dx < 0 ? x0 + dx : x0; }  // its extent in x
    double Hi() const { return dx < 0 ? x0 : x0 + dx; }
    // The reference's crossing at height ys (CrossingX's expression, with
    // the differences it takes already stored).
    double At(double ys) const { return x0 + (ys - y0) * dx / dy; }
};
constexpr uint32_t kNoPixel = UINT32_MAX;

// A run of chords going the same way (down or up) whose sub-scanline
// ranges join end to end. Curves flatten into chords shorter than a pixel;
// handling the run as one active edge that steps from chord to chord
// keeps the per-edge work (sorting, admitting, retiring) per run instead
// of per chord. Each crossing still comes from the chord that holds its
// sub-scanline, with the same expression as the reference.
struct Edge {
    const Chord *cur;       // chord of the current sub-scanline
    double x;               // crossing on the latest sub-scanline
    double row_min, row_max;  // extent of its crossings in the current row
    int64_t g0, g1;         // crossed sub-scanlines [g0, g1)
    int32_t dir;
    uint32_t first, last;   // its chords, in order of growing y
    const Chord *next;      // estimated rows: cur and x after the row, until it is kept
    double next_x;
};

// A growable array on the run-time heap (the failure switch reaches it).
template <class T>
struct Array {
    T *data = nullptr;
    size_t size = 0, room = 0;
    ~Array() {
        if (data) mem::MemFree(data);
    }
    bool Push(const T &v) {
        if (size == room) {
            size_t grown = room ? room * 2 : 256;
            T *moved = static_cast<T *>(mem::MemReAlloc(data, grown * sizeof(T), 0));
            if (!moved) return false;
            data = moved;
            room = grown;
        }
        data[size++] = v;
        return true;
    }
    bool Reserve(size_t n) {
        if (n <= room) return true;
        T *moved = static_cast<T *>(mem::MemReAlloc(data, n * sizeof(T), 0));
        if (!moved) return false;
        data = moved;
        room = n;
        return true;
    }
};

struct Crossing {
    double x;
    int32_t dir;
    int32_t edge;  // exact rows: the edge's place in the active list
};
inline bool Before(const Crossing &a, const Crossing &b) { return a.x < b.x || (a.x == b.x && a.dir < b.dir); }

// Exact rows of 32-bit masks: four sub-scanlines, a byte each per pixel,
// a bit per eighth of a pixel (0 covered). A crossing at x matters here
// only through its rounded eighth t = floor(8x + 0.5), x clamped to the
// row first: bit j of a sub-scanline is covered when the winding (or the
// parity) of its crossings with t <= j is not zero. So each crossing is
// kept as one word, t * 2 + (going down), made when it is generated:
// lists a quarter of the size, sorted as integers, and swept without a
// conversion or a clamp per span end. Ties in t need no order: any order
// of the crossings consistent with t gives the same winding after the
// last crossing at or before every bit.
class Mask32Rows {
public:
    // Wider rows would overflow the words: 8x + 0.5 is converted as a
    // signed 32-bit integer and t * 2 + 1 must fit in a word (kept below
    // 2^31, so either reading of a word orders the same).
    static constexpr uint32_t kMaxWidth = (1u << 27) - 1;

    bool Init(uint32_t width, bool even_odd, bool baseline_simd) {
#if defined(Y32_WIDE_ROWS)
        wide_ = !baseline_simd && __builtin_cpu_supports("avx2");
        const double right = static_cast<double>(width) * 8 + 0.5;
        right4_ = V4d{right, right, right, right};
#else
        (void)baseline_simd;
#endif
        width_ = width;
        dwidth_ = width;
        even_odd_ = even_odd;
        narrow_ = width <= 2047;  // t * 2 + 1 <= 16 width + 1 < 2^15
        // Changes lie at pixels 0 .. width; the row's end reads whole
        // groups of four.
        const size_t inner_words = (size_t{width} + 4) & ~size_t{3};
        const size_t mark_bytes = (size_t{width} / kGroup + 1 + 7) & ~size_t{7};
        if (!inner_.Reserve(inner_words) || !marks_.Reserve(mark_bytes)) return false;
        std::memset(inner_.data, 0, inner_words * sizeof(uint32_t));
        std::memset(marks_.data, 0, mark_bytes);
        for (int32_t k = 0; k < 4; ++k) {
            uint8_t bytes[4] = {};
            bytes[k] = 0xFF;
            std::memcpy(&sub_one_[k], bytes, 4);  // the byte at offset k, whatever the byte order
        }
        return true;
    }
    // Room for `room` crossings per sub-scanline.
    bool Room(size_t room) {
        if (room <= room_) return true;
        // Four words of slack per list: the edges' keys are stored four
        // at a time.
        if (!keys_.Reserve((room + 4) * 4) || !ends_.Reserve(room + 1)) return false;
        room_ = room;
        return true;
    }
    // The row of sub-scanlines r0 .. r0 + 3 crossed by the active edges (in
    // x order as of the last row, at least one crossing each), written into
    // `line` (set to nothing covered). Moves each edge to its latest
    // crossing. True when there are more than two edges, each crossing all
    // four sub-scanlines, and every list's eighths are in active order:
    // the edges' latest crossings are then in order but where they round to
    // the same eighth.
    bool Row(Edge *const *active, size_t n_edges, int64_t r0, uint8_t *line) {
#if defined(Y32_WIDE_ROWS)
        if (wide_) return RowWide(active, n_edges, r0, line);
#endif
        return RowImpl<false>(active, n_edges, r0, line);
    }

private:
    // The row's work, built twice: for the baseline instruction set, and
    // (kWide) inside RowWide, built for AVX2, where an edge's four
    // crossings take one four-wide operation per step instead of two. The
    // same operations in the same order on each crossing (no multiply-add
    // is fused), so both give the same words.
    template <bool kWide>
    bool RowImpl(Edge *const *active, size_t n_edges, int64_t r0, uint8_t *line);
#if defined(Y32_WIDE_ROWS)
    bool RowWide(Edge *const *active, size_t n_edges, int64_t r0, uint8_t *line);
    bool wide_ = false;  // the processor runs AVX2
    V4d right4_ = {};    // 8 width + 0.5 in every lane
#endif
    bool Span4(const uint32_t ta[4], const uint32_t tb[4], uint8_t *line) const;

    Array<uint32_t> keys_;
    Array<uint32_t> ends_;  // a row's crossings that start or end spans, by index
    // The whole pixels inside spans, as changes of parity (XOR 0xFF) in
    // the sub-scanline's byte of a per-pixel word (see the row's end). The
    // spans of one sub-scanline never share an inner pixel, so a count
    // there would be 0 or 1 at every pixel: its parity, which under
    // even-odd also takes single crossings.
    Array<uint32_t> inner_;
    // A byte per group of kGroup pixels, 1 where a word of inner_ changed:
    // a plain store, where a bit set would chain each change to the last
    // through memory. The row's end reads them eight at a time.
    static constexpr uint32_t kGroup = 4;
    Array<uint8_t> marks_;
    static void Mark(uint8_t *marks, uint32_t px) { marks[px / kGroup] = 1; }
    size_t room_ = 0;
    uint32_t width_ = 0;
    double dwidth_ = 0;
    bool even_odd_ = false;
    bool narrow_ = false;  // every word below 2^15 (see CarryPass)
    uint32_t sub_one_[4] = {};
};

// Whether a crossing list's eighths never go down (the words may, where
// eighths tie), stopping at the first that does.
inline bool InEighthOrder(const uint32_t *list, size_t n) {
    size_t i = 1;
#if defined(__SSE2__)
    for (; i + 4 <= n; i += 4) {
        const __m128i now = _mm_srli_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i *>(list + i)), 1);
        const __m128i before = _mm_srli_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i *>(list + i - 1)), 1);
        if (_mm_movemask_epi8(_mm_cmpgt_epi32(before, now))) return false;
    }
#endif
    for (; i < n; ++i)
        if ((list[i] >> 1) < (list[i - 1] >> 1)) return false;
    return true;
}

// One pass over a crossing list that carries the largest word so far and
// leaves the lesser behind (see the row's sort). Nonzero when the output is
// out of order. Four words at a time with SSE2: the carries are running
// maxima, each output the lesser of the carry before it and its word. The
// words are below 2^31, so signed compares order them; kNarrow: below
// 2^15, where the 16-bit maximum and minimum do for the 32-bit ones (the
// high halves are 0), one instruction each instead of four.
template <bool kNarrow>
inline __attribute__((always_inline)) uint32_t CarryPass(uint32_t *list, size_t n) {
    uint32_t carry = list[0], out = 0, late = 0;
    size_t i = 1;
#if defined(__SSE2__)
    auto max = [](__m128i a, __m128i b) __attribute__((always_inline)) {
        if (kNarrow) return _mm_max_epi16(a, b);
        const __m128i gt = _mm_cmpgt_epi32(a, b);
        return _mm_or_si128(_mm_and_si128(gt, a), _mm_andnot_si128(gt, b));
    };
    auto min = [](__m128i a, __m128i b) __attribute__((always_inline)) {
        if (kNarrow) return _mm_min_epi16(a, b);
        const __m128i gt = _mm_cmpgt_epi32(a, b);
        return _mm_or_si128(_mm_and_si128(gt, b), _mm_andnot_si128(gt, a));
    };
    const __m128i lane0 = _mm_cvtsi32_si128(-1);
    __m128i carried = _mm_set1_epi32(static_cast<int32_t>(carry));  // in every lane
    __m128i outs = _mm_setzero_si128(), bad = _mm_setzero_si128();  // the last output in lane 3
    for (; i + 4 <= n; i += 4) {
        const __m128i k = _mm_loadu_si128(reinterpret_cast<const __m128i *>(list + i));
        __m128i c = max(k, _mm_slli_si128(k, 4));  // zeros shifted in: no word is below
        c = max(max(c, _mm_slli_si128(c, 8)), carried);
        const __m128i before = _mm_or_si128(_mm_slli_si128(c, 4), _mm_and_si128(carried, lane0));
        const __m128i o = min(before, k);
        const __m128i last = _mm_or_si128(_mm_slli_si128(o, 4), _mm_srli_si128(outs, 12));
        bad = _mm_or_si128(bad, _mm_cmpgt_epi32(last, k));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(list + i - 1), o);
        outs = o;
        carried = _mm_shuffle_epi32(c, 0xFF);
    }
    carry = static_cast<uint32_t>(_mm_cvtsi128_si32(carried));
    out = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(outs, 12)));
    late = static_cast<uint32_t>(_mm_movemask_epi8(bad));
#endif
    for (; i < n; ++i) {
        const uint32_t k = list[i];
        late |= static_cast<uint32_t>(k < out);
        out = carry < k ? carry : k;
        carry = carry < k ? k : carry;
        list[i - 1] = out;
    }
    list[n - 1] = carry;
    return late;
}

template <bool kWide>
inline __attribute__((always_inline)) bool Mask32Rows::RowImpl(Edge *const *active, size_t n_edges, int64_t r0,
                                                              uint8_t *line) {
    // Locals, not members: the byte stores below may alias anything a
    // pointer reaches.
    uint32_t *const keys = keys_.data, *const inner = inner_.data;
    uint8_t *const marks = marks_.data;
    const size_t room = room_;
    const uint32_t width = width_;
    const double dwidth = dwidth_;
    const int64_t r1 = r0 + 4;
    // floor(8x + 0.5) in doubles equals 8 floor(x) + floor((x - floor(x)) 8
    // + 0.5), the reference's pixel and bit: 8x + 0.5 is exact below the
    // next power of two of 8x, and above it no integer lies within its
    // rounding.
    auto key = [dwidth](double x, uint32_t down) __attribute__((always_inline)) {
#if FLT_EVAL_METHOD != 0
        // x as a double, as the reference stores it, not wider.
        volatile double stored = x;
        x = stored;
#endif
        x = x < 0 ? 0 : (x > dwidth ? dwidth : x);
        return static_cast<uint32_t>(static_cast<int32_t>(x * 8 + 0.5)) * 2 + down;
    };
    // All crossings of the row, edge by edge: the divisions do not depend
    // on each other, so they overlap in the pipeline.
    const size_t stride = room + 4;
    uint32_t *slot[4];
    for (int32_t sub = 0; sub < 4; ++sub) slot[sub] = keys + static_cast<size_t>(sub) * stride;
#if defined(__SSE2__)
    // An edge on one chord through the whole row (every line, most curves'
    // rows at small scales) has its four crossings worked out two at a
    // time, the same operations on each as one at a time; up to four such
    // edges are turned from four keys an edge into four keys a
    // sub-scanline and stored with one store per list.
    const double base = static_cast<double>(r0 >> 2);
    const __m128d y01 = _mm_set_pd(base + 0.375, base + 0.125), y23 = _mm_set_pd(base + 0.875, base + 0.625);
    // 8x + 0.5 clamped to [0.5, 8 width + 0.5] is 8x + 0.5 of x clamped to
    // [0, width], rounding being monotone and exact at the ends: one
    // constant fewer to keep in a register.
    const __m128d eight = _mm_set1_pd(8.0), half = _mm_set1_pd(0.5), right = _mm_set1_pd(dwidth * 8 + 0.5);
#if defined(Y32_WIDE_ROWS)
    // The same operations on all four crossings at once where the
    // processor has four-wide doubles (RowWide).
    const V4d y4 = {base + 0.125, base + 0.375, base + 0.625, base + 0.875};
    const V4d half4 = {0.5, 0.5, 0.5, 0.5}, right4 = right4_;
#endif
    __m128i pending[4];
    uint32_t n_pending = 0;
    auto flush = [&]() __attribute__((always_inline)) {
        if (n_pending == 0) return;
        const __m128i t0 = _mm_unpacklo_epi32(pending[0], pending[1]), t1 = _mm_unpacklo_epi32(pending[2], pending[3]);
        const __m128i t2 = _mm_unpackhi_epi32(pending[0], pending[1]), t3 = _mm_unpackhi_epi32(pending[2], pending[3]);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(slot[0]), _mm_unpacklo_epi64(t0, t1));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(slot[1]), _mm_unpackhi_epi64(t0, t1));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(slot[2]), _mm_unpacklo_epi64(t2, t3));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(slot[3]), _mm_unpackhi_epi64(t2, t3));
        for (int32_t sub = 0; sub < 4; ++sub) slot[sub] += n_pending;
        n_pending = 0;
    };
#endif
    for (size_t i = 0; i < n_edges; ++i) {
        Edge *e = active[i];
        const uint32_t down = e->dir > 0;
        const Chord *c = e->cur;
#if defined(__SSE2__)
        // Through the whole row on one chord: started by r0, and its chord
        // there (the last ends with the edge) reaching r1.
        if (e->g0 <= r0) {
            while (c->g1 <= r0) ++c;
            if (c->g1 >= r1) {
#if defined(Y32_WIDE_ROWS)
                if constexpr (kWide) {
                    const V4d x = c->x0 + (y4 - c->y0) * c->dx / c->dy;
                    V4d u = x * 8.0 + 0.5;
                    u = u < half4 ? half4 : u;
                    u = u > right4 ? right4 : u;
                    const V4i t = __builtin_convertvector(u, V4i);
                    pending[n_pending++] = reinterpret_cast<__m128i>(t + t + static_cast<int32_t>(down));
                    if (n_pending == 4) flush();
                    e->x = x[3];
                    e->cur = c;
                    continue;
                }
#endif
                const __m128d x0 = _mm_set1_pd(c->x0), y0 = _mm_set1_pd(c->y0), dx = _mm_set1_pd(c->dx),
                              dy = _mm_set1_pd(c->dy);
                const __m128d xa = _mm_add_pd(x0, _mm_div_pd(_mm_mul_pd(_mm_sub_pd(y01, y0), dx), dy));
                const __m128d xb = _mm_add_pd(x0, _mm_div_pd(_mm_mul_pd(_mm_sub_pd(y23, y0), dx), dy));
                // Clamped as in key() (NaN aside, which no chord gives).
                const __m128d ua = _mm_add_pd(_mm_mul_pd(xa, eight), half);
                const __m128d ub = _mm_add_pd(_mm_mul_pd(xb, eight), half);
                const __m128i ta = _mm_cvttpd_epi32(_mm_min_pd(_mm_max_pd(ua, half), right));
                const __m128i tb = _mm_cvttpd_epi32(_mm_min_pd(_mm_max_pd(ub, half), right));
                const __m128i t = _mm_unpacklo_epi64(ta, tb);
                pending[n_pending++] = _mm_add_epi32(_mm_add_epi32(t, t), _mm_set1_epi32(static_cast<int32_t>(down)));
                if (n_pending == 4) flush();
                e->x = _mm_cvtsd_f64(_mm_unpackhi_pd(xb, xb));
                e->cur = c;
                continue;
            }
        }
        flush();  // the lists stay in active order
#endif
        const int64_t gs = e->g0 > r0 ? e->g0 : r0, ge = e->g1 < r1 ? e->g1 : r1;
        while (c->g1 <= gs) ++c;
        double x;
        if (c->g1 >= ge) {
            // One chord for the rest of the edge's part of the row: its
            // crossings are monotone in x, so the first and last bound
            // them. The centres step by an exact 1/4 (the same doubles SubY
            // gives).
            const double x0 = c->x0, y0 = c->y0, dx = c->dx, dy = c->dy;
            double y = SubY(gs, 4);
            uint32_t **at = slot + (gs - r0);
            x = x0 + (y - y0) * dx / dy;
            *(*at)++ = key(x, down);
            for (int64_t g = gs + 1; g < ge; ++g) {
                ++at;
                y += 0.25;
                x = x0 + (y - y0) * dx / dy;
                *(*at)++ = key(x, down);
            }
        } else {
            x = e->x;
            for (int64_t g = gs; g < ge; ++g) {
                while (c->g1 <= g) ++c;
                x = c->At(SubY(g, 4));
                *slot[g - r0]++ = key(x, down);
            }
        }
        e->x = x;
        e->cur = c;
    }
#if defined(__SSE2__)
    flush();
#endif
    // When every edge crosses all four sub-scanlines and each list's
    // eighths are in active order (the lists were filled in it), the
    // winding along each list is the same: the crossings that start and
    // end spans are found once, from the first list's directions (under
    // even-odd, pairs in order), and each span is written on the four
    // sub-scanlines together. So are two edges, which make one span on
    // each.
    uint32_t *const ends = ends_.data;
    size_t n_ends = 0;
    bool shared = n_edges >= 2;
    for (int32_t sub = 0; shared && sub < 4; ++sub)
        shared = slot[sub] == keys + static_cast<size_t>(sub) * stride + n_edges;
    if (shared && n_edges > 2) {
        // The last list first: its crossings are the furthest from the
        // order the edges were sorted in.
        for (int32_t sub = 3; shared && sub >= 0; --sub)
            shared = InEighthOrder(keys + static_cast<size_t>(sub) * stride, n_edges);
    }
    const bool ordered = shared && n_edges > 2;
    if (shared && n_edges == 2) {
        ends[0] = 0;
        ends[1] = 1;
        n_ends = 2;
    } else if (shared && even_odd_) {
        n_ends = n_edges & ~size_t{1};
        for (size_t i = 0; i < n_ends; ++i) ends[i] = static_cast<uint32_t>(i);
    } else if (shared) {
        int32_t winding = 0;
        for (size_t i = 0; i < n_edges; ++i) {
            const int32_t dir = static_cast<int32_t>(keys[i] & 1) * 2 - 1;
            winding += dir;
            ends[n_ends] = static_cast<uint32_t>(i);
            n_ends += (winding == dir) | (winding == 0);
        }
        if (winding != 0) ends[n_ends++] = static_cast<uint32_t>(n_edges - 1);
    }
    uint32_t inner_lo = UINT32_MAX, inner_hi = 0;
    // The eighths [ta, tb) of sub-scanline sub covered: the pixel (>> 3)
    // and bit (& 7) of each end. An end on bit 8 is bit 0 of the next
    // pixel: the same bits cleared.
    auto span_on = [&](int32_t sub, uint32_t ta, uint32_t tb) __attribute__((always_inline)) {
        if (!(ta < tb)) return;  // nothing covered (and pa may be width)
        uint8_t *const bytes = line + sub;
        const uint32_t pa = ta >> 3, pb = tb >> 3;
        const uint32_t li = ta & 7, rj = tb & 7;
        if (pa == pb) {  // ta < tb <= 8 width: pa < width
            bytes[pa * 4] &= static_cast<uint8_t>(kLeftMask[li] | kRightMask[rj]);
            return;
        }
        bytes[pa * 4] &= kLeftMask[li];
        if (pb - pa > 1) {  // whole pixels between: counted, see the row's end
            const uint32_t one = sub_one_[sub];
            inner[pa + 1] ^= one;
            inner[pb] ^= one;
            Mark(marks, pa + 1);
            Mark(marks, pb);
        }
        if (pb < width) bytes[pb * 4] &= kRightMask[rj];
    };
    // The pixels whose counts may change lie between the sub-scanline's
    // lowest and highest eighth.
    auto bounds = [&](uint32_t lo, uint32_t hi) __attribute__((always_inline)) {
        lo >>= 3;
        hi >>= 3;
        if (lo < inner_lo) inner_lo = lo;
        if (hi > inner_hi) inner_hi = hi;
    };
    if (shared) {
        for (size_t b = 0; b < n_ends; b += 2) {
            uint32_t ta[4], tb[4];
            for (int32_t k = 0; k < 4; ++k) {
                const uint32_t *const list = keys + static_cast<size_t>(k) * stride;
                const uint32_t a = list[ends[b]] >> 1, z = list[ends[b + 1]] >> 1;
                ta[k] = a < z ? a : z;  // two edges may cross within the row
                tb[k] = a < z ? z : a;
            }
            if (!Span4(ta, tb, line)) {
                for (int32_t k = 0; k < 4; ++k) {
                    span_on(k, ta[k], tb[k]);
                    bounds(ta[k], tb[k]);
                }
            }
        }
    }
    for (int32_t sub = 0; !shared && sub < 4; ++sub) {
        uint32_t *const list = keys + static_cast<size_t>(sub) * stride;
        const size_t n = static_cast<size_t>(slot[sub] - list);
        if (n < 2) continue;
        uint8_t *const bytes = line + sub;
        auto span = [&](uint32_t ta, uint32_t tb) __attribute__((always_inline)) { span_on(sub, ta, tb); };
        if (n == 2) {
            // Two crossings make one span under either rule: opposite
            // directions close it, equal ones never return to zero and
            // close at the last crossing.
            uint32_t a = list[0] >> 1, b = list[1] >> 1;
            if (b < a) std::swap(a, b);
            span(a, b);
            bounds(a, b);
            continue;
        }
        if (even_odd_ && n % 2 == 0) {
            // Even-odd, unsorted: the covered bits are the bits with an odd
            // number of crossings at or before them, so each crossing flips
            // everything from its bit to the row's end. Here it flips the
            // bits before it in its pixel, and the parity of its
            // sub-scanline from its pixel on (a count's byte, marked); the
            // row's end flips every pixel of a run with odd parity.
            for (size_t i = 0; i < n; ++i) {
                const uint32_t t = list[i] >> 1, p = t >> 3;
                // p == width: bit 0, nothing flipped in the row (stored at
                // its last pixel), but its parity change is marked.
                bytes[(p < width ? p : width - 1) * 4] ^= kLeftMask[t & 7];
                inner[p] ^= sub_one_[sub];
                Mark(marks, p);
            }
            // The sweep then reads every word of marks (a byte per four
            // pixels: a 16th of the bytes of the row's clear) rather than
            // this loop keeping the least and greatest pixel of every
            // crossing.
            inner_lo = 0;
            inner_hi = width;
            continue;
        }
        // Rows in order took the shared spans above, so these lists need
        // ordering. They come in the order of the last row's crossings, so
        // most crossings are in place and the rest mostly one place
        // too far on (two edges crossed): one pass that carries the
        // largest word so far and leaves the smaller behind puts those
        // in order without a branch per crossing. A crossing from
        // further on leaves the pass's output out of order, which is
        // seen as it is made, and then the list is sorted.
        const uint32_t late = narrow_ ? CarryPass<true>(list, n) : CarryPass<false>(list, n);
        if (late) {
            for (size_t at = 1; at < n; ++at) {
                const uint32_t k = list[at];
                if (!(k < list[at - 1])) continue;
                size_t j = at;
                do {
                    list[j] = list[j - 1];
                    --j;
                } while (j > 0 && k < list[j - 1]);
                list[j] = k;
            }
        }
        if (even_odd_) {
            for (size_t i = 0; i + 1 < n; i += 2) span(list[i] >> 1, list[i + 1] >> 1);
        } else {
            int32_t winding = 0;
            uint32_t start = 0;
            auto step = [&](size_t i) __attribute__((always_inline)) {
                const int32_t dir = static_cast<int32_t>(list[i] & 1) * 2 - 1;
                winding += dir;
                // One test for both changes (dir is never 0): the winding
                // left zero when it now equals this crossing's direction.
                if (winding == dir || winding == 0) {
                    if (winding == 0) span(start, list[i] >> 1);
                    else start = list[i] >> 1;
                }
            };
            size_t i = 0;
#if defined(__SSE2__)
            // Four at a time: the windings before and after each crossing
            // (prefix sums of the directions), and one at a time only in
            // the blocks where either is zero (a span starts or ends).
            const __m128i ones = _mm_set1_epi32(1), nil = _mm_setzero_si128();
            __m128i carried = nil;  // the winding before the block, in every lane
            for (; i + 4 <= n; i += 4) {
                const __m128i d = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i *>(list + i)), ones);
                const __m128i dir = _mm_sub_epi32(_mm_add_epi32(d, d), ones);
                __m128i sum = _mm_add_epi32(dir, _mm_slli_si128(dir, 4));
                sum = _mm_add_epi32(sum, _mm_slli_si128(sum, 8));
                const __m128i after = _mm_add_epi32(carried, sum), before = _mm_sub_epi32(after, dir);
                if (_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi32(after, nil), _mm_cmpeq_epi32(before, nil)))) {
                    winding = _mm_cvtsi128_si32(carried);
                    step(i);
                    step(i + 1);
                    step(i + 2);
                    step(i + 3);
                }
                carried = _mm_shuffle_epi32(after, 0xFF);
            }
            winding = _mm_cvtsi128_si32(carried);
#endif
            for (; i < n; ++i) step(i);
            if (winding != 0) span(start, list[n - 1] >> 1);
        }
        bounds(list[0] >> 1, list[n - 1] >> 1);
    }
    if (inner_lo > inner_hi) return ordered;
    // Clears each inner pixel's bytes of the sub-scanlines whose spans pass
    // over it whole. A pixel's bytes to clear are the XOR of the changes at
    // and before it (open), and every byte cleared is untouched (0xFF) but
    // where under even-odd a crossing flipped bits (a pixel a span ends in
    // keeps its sub-scanline's parity even): so the pixel is XORed with
    // open. The groups of pixels holding changes are swept four words at
    // a time without a branch per change (a star's edge changes one or two
    // sub-scanlines a pixel, and the runs between changes were mostly a
    // pixel long); between groups open is constant, and a run open on all
    // four sub-scanlines is zeroed with memset.
    static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "marks are read eight to a word, first in the low byte");
    const uint32_t last_word = inner_hi / kGroup / 8;
    uint32_t open = 0, pos = inner_lo;
#if defined(__SSE2__)
    __m128i open4 = _mm_setzero_si128();
#endif
    for (uint32_t mw = inner_lo / kGroup / 8; mw <= last_word; ++mw) {
        uint64_t bits;
        std::memcpy(&bits, marks + size_t{mw} * 8, 8);
        if (bits == 0) continue;
        std::memset(marks + size_t{mw} * 8, 0, 8);
        while (bits) {  // a bit per group: its byte's low bit
            const uint32_t q = (mw * 8 + static_cast<uint32_t>(__builtin_ctzll(bits)) / 8) * kGroup;
            bits &= bits - 1;
            if (open != 0 && pos < q) {
                const uint32_t stop = q < width ? q : width;
                if (open == 0xFFFFFFFFu) {
                    std::memset(line + size_t{pos} * 4, 0, size_t{stop - pos} * 4);
                } else {
                    for (uint32_t p = pos; p < stop; ++p) {
                        uint32_t word;
                        std::memcpy(&word, line + size_t{p} * 4, 4);
                        word ^= open;
                        std::memcpy(line + size_t{p} * 4, &word, 4);
                    }
                }
            }
            pos = q + kGroup;
#if defined(__SSE2__)
            if (pos <= width) {
                // Prefix XOR of the group's changes, on from open.
                __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(inner + q));
                v = _mm_xor_si128(v, _mm_slli_si128(v, 4));
                v = _mm_xor_si128(v, _mm_slli_si128(v, 8));
                v = _mm_xor_si128(v, open4);
                open4 = _mm_shuffle_epi32(v, 0xFF);
                open = static_cast<uint32_t>(_mm_cvtsi128_si32(open4));
                __m128i *const at = reinterpret_cast<__m128i *>(line + size_t{q} * 4);
                _mm_storeu_si128(at, _mm_xor_si128(_mm_loadu_si128(at), v));
                _mm_storeu_si128(reinterpret_cast<__m128i *>(inner + q), _mm_setzero_si128());
                continue;
            }
#endif
            for (uint32_t p = q; p < pos; ++p) {
                open ^= inner[p];
                inner[p] = 0;
                if (p < width) {
                    uint32_t word;
                    std::memcpy(&word, line + size_t{p} * 4, 4);
                    word ^= open;
                    std::memcpy(line + size_t{p} * 4, &word, 4);
                }
            }
#if defined(__SSE2__)
            open4 = _mm_set1_epi32(static_cast<int32_t>(open));
#endif
        }
    }
    return ordered;
}

#if defined(Y32_WIDE_ROWS)
__attribute__((target("avx2"))) bool Mask32Rows::RowWide(Edge *const *active, size_t n_edges, int64_t r0,
                                                         uint8_t *line) {
    return RowImpl<true>(active, n_edges, r0, line);
}
#endif

// One span on all four sub-scanlines of a row, [ta[k], tb[k]) in eighths
// on sub-scanline k, written straight into the row when the pixels whole on
// every sub-scanline form a run and the ragged ends either side of it are
// at most four pixels wide (a star's edges: about 60% of scene A's edges
// and rows): the run with memset, each ragged end with one masked 16-byte
// AND, where the spans apart would record four changes and the row's end
// sweep them. False, writing nothing, otherwise.
inline bool Mask32Rows::Span4(const uint32_t ta[4], const uint32_t tb[4], uint8_t *line) const {
#if defined(__SSE2__)
    const uint32_t width = width_;
    uint32_t pa[4], pb[4];
    for (int32_t k = 0; k < 4; ++k) {
        pa[k] = ta[k] >> 3;
        pb[k] = tb[k] >> 3;
    }
    // Whole pixels of sub-scanline k: [pa + 1, pb). On all four: [lo, hi);
    // on some: [first, lo) and [hi, last).
    const uint32_t first = std::min(std::min(pa[0], pa[1]), std::min(pa[2], pa[3])) + 1;
    const uint32_t lo = std::max(std::max(pa[0], pa[1]), std::max(pa[2], pa[3])) + 1;
    const uint32_t hi = std::min(std::min(pb[0], pb[1]), std::min(pb[2], pb[3]));
    const uint32_t last = std::max(std::max(pb[0], pb[1]), std::max(pb[2], pb[3]));
    if (!(lo < hi) || lo - first > 4 || last - hi > 4 || first + 4 > width || hi + 4 > width) return false;
    for (int32_t k = 0; k < 4; ++k) {
        uint8_t *const bytes = line + k;
        bytes[pa[k] * 4] &= kLeftMask[ta[k] & 7];
        if (pb[k] < width) bytes[pb[k] * 4] &= kRightMask[tb[k] & 7];
    }
    std::memset(line + size_t{lo} * 4, 0, size_t{hi - lo} * 4);
    // Byte k of pixel first + j (lane 4j + k) is cleared when j >= pa[k] +
    // 1 - first and first + j < lo; byte k of pixel hi + j when j < pb[k] -
    // hi. The offsets are 0 .. 4, so bytes compare them.
    const __m128i j = _mm_set_epi8(3, 3, 3, 3, 2, 2, 2, 2, 1, 1, 1, 1, 0, 0, 0, 0);
    auto per_sub = [](uint32_t v0, uint32_t v1, uint32_t v2, uint32_t v3) {
        return _mm_set1_epi32(static_cast<int32_t>(v0 | v1 << 8 | v2 << 16 | v3 << 24));
    };
    const __m128i from = per_sub(pa[0] + 1 - first, pa[1] + 1 - first, pa[2] + 1 - first, pa[3] + 1 - first);
    const __m128i keep = _mm_or_si128(_mm_cmpgt_epi8(from, j),
                                      _mm_cmpgt_epi8(j, _mm_set1_epi8(static_cast<char>(lo - first - 1))));
    __m128i *const left = reinterpret_cast<__m128i *>(line + size_t{first} * 4);
    _mm_storeu_si128(left, _mm_and_si128(_mm_loadu_si128(left), keep));
    const __m128i upto = per_sub(pb[0] - hi, pb[1] - hi, pb[2] - hi, pb[3] - hi);
    __m128i *const right = reinterpret_cast<__m128i *>(line + size_t{hi} * 4);
    _mm_storeu_si128(right, _mm_andnot_si128(_mm_cmpgt_epi8(upto, j), _mm_loadu_si128(right)));
    return true;
#else
    (void)ta;
    (void)tb;
    (void)line;
    return false;
#endif
}

// 8-bit coverage of one pixel row.
//
// Only a few pixels of a row see anything but whole-pixel coverage: the
// two ends of each span (and the first pixel after a span's start, where
// its run of full pixels begins). Those are marked in a bit set; between
// marks the value is constant, so the row pass walks the marks and fills
// the runs between them with memset instead of visiting every pixel.
struct RowAccumulator {
    double *low = nullptr;    // pixels 0..7, in doubles
    int64_t *part = nullptr;  // partial contributions in 2^-49 units
    int32_t *diff = nullptr;  // +1 where a run of full pixels starts, -1 past its end
    uint64_t *marks = nullptr;
    uint32_t width = 0;
    uint32_t lo = UINT32_MAX, hi = 0;  // pixels touched since the last flush

    bool Init(uint32_t w) {
        width = w;
        size_t words = (static_cast<size_t>(w) + 2) / 64 + 1;
        low = static_cast<double *>(mem::MemAlloc(mem::kZeroInit, (kExactFrom + 1) * sizeof(double)));
        part = static_cast<int64_t *>(mem::MemAlloc(mem::kZeroInit, (w + 2) * sizeof(int64_t)));
        diff = static_cast<int32_t *>(mem::MemAlloc(mem::kZeroInit, (w + 3) * sizeof(int32_t)));
        marks = static_cast<uint64_t *>(mem::MemAlloc(mem::kZeroInit, words * sizeof(uint64_t)));
        return low && part && diff && marks;
    }
    ~RowAccumulator() {
        if (low) mem::MemFree(low);
        if (part) mem::MemFree(part);
        if (diff) mem::MemFree(diff);
        if (marks) mem::MemFree(marks);
        if (pend) mem::MemFree(pend);
    }
    void Mark(uint32_t px) { marks[px >> 6] |= uint64_t{1} << (px & 63); }
    void Partial(uint32_t px, double v) {
        Mark(px);
        if (px < kExactFrom) low[px] += v;
        else part[px] += static_cast<int64_t>(v * kUnit);
    }

    // From pixel 8 on, a span end is a cell update: the start of [a, b]
    // adds one full pixel from pa on and takes frac(a) back at pa; the end
    // removes it from pb on and gives frac(b) at pb. In 2^-49 units this is
    // exactly 1 - frac(a) at pa, 1.0 between and frac(b) at pb, and
    // frac(b) - frac(a) when both ends share a pixel. A span's two ends
    // usually land in the same pixels as on the sub-scanline before, so
    // each end keeps its pending cell in registers until it moves on,
    // instead of a read-modify-write of memory per sub-scanline.
    struct Cell {
        uint32_t px = UINT32_MAX;
        int32_t count = 0;
        int64_t units = 0;
    };
    // Pending cells, two per span position within a sub-scanline (span k's
    // start and end): from one sub-scanline to the next, span k usually
    // begins and ends in the same pixels as before.
    Cell *pend = nullptr;
    uint32_t pend_room = 0, pend_used = 0;
    bool Room(size_t spans) {
        if (spans * 2 <= pend_room) return true;
        Settle();
        size_t n = spans * 2 + 8;
        auto *grown = static_cast<Cell *>(mem::MemReAlloc(pend, n * sizeof(Cell), 0));
        if (!grown) return false;
        pend = grown;
        for (size_t i = pend_room; i < n; ++i) pend[i] = Cell{};
        pend_room = static_cast<uint32_t>(n);
        return true;
    }
    void Commit(Cell &c) {
        if (c.px == UINT32_MAX) return;
        diff[c.px] += c.count;
        part[c.px] += c.units;
        Mark(c.px);
        c.px = UINT32_MAX;
    }
    void Add(Cell &c, uint32_t px, int32_t count, int64_t units) {
        if (c.px != px) {
            Commit(c);
            c.px = px;
            c.count = count;
            c.units = units;
        } else {
            c.count += count;
            c.units += units;
        }
    }
    // Puts the pending cells where the row pass sees them.
    void Settle() {
        for (uint32_t i = 0; i < pend_used; ++i) Commit(pend[i]);
        pend_used = 0;
    }

    // After the n spans of a sub-scanline, from a (the first one's start)
    // to b (the last one's end): the touched range and the pending cells
    // in use, once per sub-scanline rather than per span.
    void Spanned(uint32_t n, double a, double b) {
        const uint32_t pa = static_cast<uint32_t>(a), pb = static_cast<uint32_t>(b);
        if (pa < lo) lo = pa;
        if (pb > hi) hi = pb;
        if (2 * n > pend_used) pend_used = 2 * n;
    }
    // Span [a, b] with 0 <= a < b <= width, the k-th of its sub-scanline
    // (k < the room asked for with Room), spans in increasing x; call
    // Spanned after the last one.
    void Span(double a, double b, uint32_t k) {
        // a and b lie in [0, width]: truncation is floor, and exact.
        uint32_t pa = static_cast<uint32_t>(a), pb = static_cast<uint32_t>(b);
        double fa = a - static_cast<double>(pa), fb = b - static_cast<double>(pb);
        if (pa >= kExactFrom) {
            Add(pend[2 * k], pa, 1, -static_cast<int64_t>(fa * kUnit));
            Add(pend[2 * k + 1], pb, -1, static_cast<int64_t>(fb * kUnit));
            return;
        }
        // Near the left border: the reference's order, in doubles.
        if (pa == pb) {
            Partial(pa, fb - fa);
            return;
        }
        Partial(pa, 1.0 - fa);
        uint32_t px = pa + 1;
        for (; px < pb && px < kExactFrom; ++px) {
            low[px] += 1.0;
            Mark(px);
        }
        if (px < pb) {
            diff[px] += 1;
            diff[pb] -= 1;
            Mark(px);
        }
        Partial(pb, fb);
    }
};

inline int32_t ToByte(double v, double w, bool hard) {
    if (hard) {
        int32_t t = static_cast<int32_t>(v * w - 1.0);
        return (t & 0xFF) >= 115 ? 255 : 0;
    }
    int32_t byte = static_cast<int32_t>(v * w - 0.98);
    return byte < 0 ? 0 : (byte > 255 ? 255 : byte);
}

// What the estimated rows need to know before the flattener runs.
struct Survey {
    // Largest |x| in sample space of any point of the group's filled
    // records (control points included: chords stay in their curve's hull),
    // plus a pixel for the nudge and the flattener's drift.
    double max_x;
    size_t chords;  // about how many chords the flattener will make
};
Survey SurveyGroup(const KyPath *head, const Mapping &m) {
    FIXED lo = INT32_MAX, hi = INT32_MIN;
    double length = 0;  // control polygons of the curves, in 16.16 units
    size_t lines = 0;
    for (const KyPath *p = head; p; p = path::GroupNext(p)) {
        if (IsOutlineOnly(p)) continue;
        path::ForEachSegment(p, [&](const path::Segment &s) {
            const int32_t n = s.kind == path::Segment::kLine ? 2 : 4;
            for (int32_t k = 0; k < n; ++k) {
                lo = s.x[k] < lo ? s.x[k] : lo;
                hi = s.x[k] > hi ? s.x[k] : hi;
            }
            if (n == 2) {
                ++lines;
                return;
            }
            for (int32_t k = 0; k < 3; ++k)
                length += std::fabs(static_cast<double>(s.x[k + 1]) - s.x[k]) +
                          std::fabs(static_cast<double>(s.y[k + 1]) - s.y[k]);
        });
    }
    if (lo > hi) return Survey{1.0, 16};
    double a = std::fabs(fx::ToDouble(lo) * m.scale - m.left), b = std::fabs(fx::ToDouble(hi) * m.scale - m.left);
    // Chords of a curve are a little under a pixel (the walk halves while
    // a step exceeds 0.92 of one): a guess, the array grows past it.
    double guess = static_cast<double>(lines) + 2.0 * length / 65536.0 * m.scale + 64.0;
    return Survey{(a > b ? a : b) + 1.0, guess < 1e7 ? static_cast<size_t>(guess) : size_t{10000000}};
}

// Turns a group's lines and chords, in path order, into chords and runs
// (see Edge). Contiguous chords share their end points, so each point's
// sub-scanline index is worked out once.
struct RunBuilder {
    Array<Chord> chords;
    Array<Edge> edges;
    const int32_t subs;
    const int64_t g_end;
    // For the estimated rows: the largest |x| the error bound eps was made
    // for (reach_ok turns false if a chord goes beyond), and the pixel test
    // of each chord.
    const double max_x, eps, eps2, right, inv_subs;
    bool reach_ok = true;
    bool ok = true;
    bool open = false;
    Edge run{};
    double last_y = std::nan("");  // pts[0].y once a queue is worked off, and its index
    int64_t last_index = 0;

    // The flattener's callbacks only queue points: the work on them runs in
    // a separate loop over the queue, so the walk keeps its state in
    // registers. pts[0] is where the first queued chord starts, pts[i]
    // where chord i ends; a segment that does not continue the chain (a new
    // subpath) works the queue off first and starts it again.
    struct Pt {
        double x, y;
    };
    static constexpr int32_t kQueue = 256;
    Pt pts[kQueue + 1];
    Pt *tail = pts;  // the latest point queued
    // Drain<false> for fills without estimated rows (32-bit masks, where
    // every row is exact): their chords get only what the exact rows read,
    // their ends and last sub-scanline; no slope, no pixels, no reach test.
    // Chosen once, called once per queue.
    void (RunBuilder::*const drain)();

    RunBuilder(int32_t s, int64_t end, double reach, double e, double width, bool estimate)
        : subs(s), g_end(end), max_x(reach), eps(e), eps2(2 * e), right(width - 2 * e), inv_subs(1.0 / s),
          drain(estimate ? &RunBuilder::Drain<true> : &RunBuilder::Drain<false>) {
        pts[0] = Pt{std::nan(""), std::nan("")};
    }
    void Start(double x, double y) {
        if (x == tail->x && y == tail->y) return;
        (this->*drain)();
        pts[0] = Pt{x, y};
    }
    __attribute__((always_inline)) void To(double x, double y) {
        *++tail = Pt{x, y};
        if (tail == pts + kQueue) (this->*drain)();
    }
    // Ends the open run, whose chords end before end.
    void Close(Chord *end) {
        if (!open) return;
        open = false;
        // After a failed push the run's chords were not all stored.
        if (!ok) return;
        run.last = static_cast<uint32_t>(end - chords.data) - 1;
        if (run.dir < 0) std::reverse(chords.data + run.first, end);
        ok = edges.Push(run);
    }
    // The constants as locals while the queue is worked off: as members
    // they would be read again after every chord stored (a store of a
    // double could change a double member).
    struct Local {
        double subs, g_end, max_x, eps2, right, inv_subs;
        // First sub-scanline at or below y, clamped to [0, g_end] (see
        // CrossedSubs).
        int64_t Index(double y) const {
            double v = y * subs - 0.5;
            v = v > 0.0 ? v : 0.0;  // also NaN
            v = v < g_end ? v : g_end;
            int64_t g = static_cast<int64_t>(v);
            return static_cast<double>(g) < v ? g + 1 : g;
        }
    };
    template <bool kEstimate>
    void Drain() {
        const int32_t n = static_cast<int32_t>(tail - pts);
        if (n == 0) return;
        tail = pts;
        // Room for the whole queue first, so storing a chord needs no test.
        const size_t need = chords.size + static_cast<size_t>(n);
        if (need > chords.room && !chords.Reserve(need > 2 * chords.room ? need : 2 * chords.room)) ok = false;
        if (!ok) return;
        const Local k{static_cast<double>(subs), static_cast<double>(g_end), max_x, eps2, right, inv_subs};
        Chord *out = chords.data + chords.size;
        bool far = false;  // a chord end beyond max_x
        int64_t i0 = pts[0].y == last_y ? last_index : k.Index(pts[0].y);
        double x0 = pts[0].x, y0 = pts[0].y;
        // The way the open run goes when the latest point is its end (so
        // the next chord joins it if it goes the same way), else 0.
        int32_t mode = open && (run.dir > 0 ? run.g1 : run.g0) == i0 ? run.dir : 0;
        for (int32_t i = 1;;) {
            // The chords that continue the run the way it goes (those that
            // cross no sub-scanline leave its end where it is): one loop
            // for each way, the way a compile-time constant.
            auto follow = [&](auto down) __attribute__((always_inline)) {
                constexpr bool kDown = decltype(down)::value;
                for (; i <= n; ++i) {
                    const double x1 = pts[i].x, y1 = pts[i].y;
                    if (!(kDown ? y1 > y0 : y1 < y0)) break;
                    far |= !(std::fabs(x1) <= k.max_x);
                    const int64_t i1 = k.Index(y1);
                    if (kDown ? i1 > i0 : i1 < i0) Put<kEstimate>(out++, x0, y0, x1, y1, kDown ? i0 : i1, kDown ? i1 : i0, k);
                    x0 = x1;
                    y0 = y1;
                    i0 = i1;
                }
                (kDown ? run.g1 : run.g0) = i0;
            };
            if (mode > 0) follow(std::true_type{});
            else if (mode < 0) follow(std::false_type{});
            if (i > n) break;
            // Any other chord: level, turning, or starting a run.
            const double x1 = pts[i].x, y1 = pts[i].y;
            const int64_t i1 = k.Index(y1);
            // Every point within max_x keeps |x0| + |dx| within three times
            // it. A chord starts on a point of the path (within max_x, as
            // the survey made it) or where the chord before it ended, so
            // checking the ends checks the starts as well; a run's first
            // start is checked anyway where the run begins.
            far |= !(std::fabs(x1) <= k.max_x);
            const int32_t dir = y1 > y0 ? 1 : -1;
            const int64_t first = dir > 0 ? i0 : i1, last = dir > 0 ? i1 : i0;
            if (y0 != y1 && first < last) {  // else it crosses no sub-scanline: no part in any run
                const bool joins = open && dir == run.dir && (dir > 0 ? first == run.g1 : last == run.g0);
                if (!joins) {
                    far |= !(std::fabs(x0) <= k.max_x);
                    Close(out);
                    if (!ok) break;
                    run = Edge{nullptr, 0.0, 0.0, 0.0, first, last, dir, static_cast<uint32_t>(out - chords.data),
                               0, nullptr, 0.0};
                    open = true;
                }
                if (dir > 0) run.g1 = last;
                else run.g0 = first;
                Put<kEstimate>(out++, x0, y0, x1, y1, first, last, k);
                mode = dir;
            }
            x0 = x1;
            y0 = y1;
            i0 = i1;
            ++i;
        }
        if (kEstimate && far) reach_ok = false;
        chords.size = static_cast<size_t>(out - chords.data);
        last_y = pts[n].y;
        last_index = i0;
        pts[0] = pts[n];
    }
    // The lines and chords of one record; its last run ends with it.
    void Record(const KyPath *p, const Mapping &m) {
        ForEachEdgeEnd(p, m, *this);
        (this->*drain)();
        Close(chords.data + chords.size);
    }
    // Stores the chord (x0, y0) -> (x1, y1) across sub-scanlines [first,
    // last) and the pixels its crossings lie in for sure.
    template <bool kEstimate>
    __attribute__((always_inline)) static void Put(Chord *c, double x0, double y0, double x1, double y1,
                                                   int64_t first, int64_t last, const Local &k) {
        if (!kEstimate) {
            c->x0 = x0;
            c->y0 = y0;
            c->dx = x1 - x0;
            c->dy = y1 - y0;
            c->g1 = last;
            return;
        }
        const double dx = x1 - x0, dy = y1 - y0, slope = dx / dy;
        const double xe = x0 + dx, lo = xe < x0 ? xe : x0, hi = xe < x0 ? x0 : xe;
        uint32_t px = kNoPixel, px2 = kNoPixel;
        int64_t split = last;
        if (lo >= k.eps2 && hi <= k.right) {
            const uint32_t p = static_cast<uint32_t>(lo);
            if (lo - p >= k.eps2) {
                if ((p + 1.0) - hi >= k.eps2) {
                    px = px2 = p;
                } else if (hi - (p + 1.0) >= k.eps2 && (p + 2.0) - hi >= k.eps2) {
                    // Across one pixel border: find the first sub-scanline
                    // past it. Crossings before it lie on one side, the
                    // rest on the other; the two next to the border are
                    // checked (the chord's extent bounds the others), so
                    // the place is only a guess: divided by dx, not by the
                    // slope, so it need not wait for the slope's division.
                    const double border = p + 1.0;
                    const double at = (y0 + (border - x0) * dy / dx) * k.subs - 0.5;
                    const bool rising = slope > 0;
                    const uint32_t below = rising ? p : p + 1, above = rising ? p + 1 : p;
                    auto clear = [&](int64_t g, bool past) {  // crossing g on its side by the bound
                        const double x = x0 + ((static_cast<double>(g) + 0.5) * k.inv_subs - y0) * slope;
                        return (rising == past ? x - border : border - x) >= k.eps2;
                    };
                    if (!(at > static_cast<double>(first))) {
                        if (clear(first, true)) px = px2 = above;
                    } else if (at > static_cast<double>(last - 1)) {
                        if (clear(last - 1, false)) px = px2 = below;
                    } else {
                        int64_t g = static_cast<int64_t>(at);
                        g = static_cast<double>(g) < at ? g + 1 : g;
                        if (clear(g - 1, false) && clear(g, true)) {
                            split = g;
                            px = below;
                            px2 = above;
                        }
                    }
                }
            }
        }
        *c = Chord{x0, y0, dx, dy, slope, last, split, px, px2};
    }
};

// ---- Estimated rows ---------------------------------------------------------
//
// Most rows are decided without a division per crossing. Each chord's
// crossing is estimated as x0 + (ys - y0) * slope, with slope = dx / dy
// divided once per chord, and every estimate carries a bound on its
// distance from the crossing the reference computes. The bound, for a
// chord with B = |x0| + |dx| (u = 2^-53, each operation rounds once):
//  - the reference rounds ys - y0, the product, the quotient and the sum:
//    |x_ref - L(ys)| <= u (|x0| + 4.02 |Q|) <= 4.1 u B, where L is the
//    exact line through the chord and Q = (ys - y0) dx / dy, |Q| <= |dx|
//    because ys lies within the chord's y range;
//  - the estimate rounds ys - y0, the slope, the product and the sum: the
//    same 4.1 u B from L;
//  so |x_est - x_ref| <= 8.2 u B. eps = kEpsScale * (B + 1) = 32 u (B + 1)
//  is used, with B three times the largest |x| of the group's points for
//  every chord (chords stay in their curves' hulls; a chord found outside
//  turns the estimated rows off). The slack covers the other roundings
//  (stepping along a line, summing crossings), each bounded where it is
//  done.
// Within a row only three things depend on the crossings:
//  1. Their order on each sub-scanline, which decides the spans. When the
//     active edges keep apart by more than the bounds on every shared
//     sub-scanline (their extents in the row, or where those overlap, the
//     two edges at every chord end), every sub-scanline's order is the
//     active order, so each edge's role (opens a span, closes one, or
//     neither) follows from the directions alone: once per row when every
//     edge crosses every sub-scanline, per sub-scanline otherwise. Edges
//     that do not keep apart go the exact way within the row (see Exact).
//  2. Which pixel each crossing falls in. An estimate farther than the
//     bound from every pixel border puts the reference's crossing in the
//     same pixel; one closer is computed with the reference's expression.
//  3. The pixel's coverage, the sum of the covered lengths. As a function
//     of each crossing this is continuous and moves by at most the
//     crossing's own move, so the estimated sum is within the sum of the
//     bounds of the crossings that fall in the pixel (plus the rounding of
//     the reference's own double sums below pixel 8, bounded per term).
//     A chord's share of a row that stays within one pixel is summed in
//     closed form: its crossings lie on a line, so their sum is n times
//     the mean of the first and the last.
// The byte is a non-decreasing function of the coverage (taking "not
// written" as 0: the hard threshold would give 255 at exactly 0). When
// the bytes at both ends of a pixel's interval agree, that is the
// reference's byte; when they do not (a coverage within about 1e-10 of a
// rounding step, or on a hard mask's exact 116/256), the row is thrown
// away and filled again the exact way. Pixels that only count whole
// coverage (interiors) are exact in either path.

constexpr double kEpsScale = 1.0 / 281474976710656.0;  // 2^-48
constexpr double kLowTermErr = 1.0 / 17592186044416.0;  // 2^-44: one term of a double sum below pixel 8
constexpr double kLowFlatErr = 1.0 / 1099511627776.0;   // 2^-40: the whole-pixel terms of those sums
constexpr double kGroupErr = 1.0 / 281474976710656.0;   // 2^-48: mean, scaling and truncation of a group

// Byte written for a coverage, 0 standing for "left alone".
inline int32_t Effective(double v, double w, bool hard) { return v == 0.0 ? 0 : ToByte(v, w, hard); }

// The estimated rows of one fill (8-bit buffers).
//
// Accumulator: one cell per pixel, holding the change of the whole-
// coverage count there, the covered length in 2^-49 units and the bound
// on its error. Edges are accumulated in order of their leftmost crossing,
// so every pixel left of the next edge's first possible one is final: the
// row is written left to right as it goes, and the cells still open form
// one short range.
class EstimatedRows {
  public:
    struct Setup {
        int32_t subs;
        uint32_t width;
        double eps;  // bound on |estimate - reference crossing|, with room to spare
        double w;    // byte weight of one sub-scanline
        bool hard, even_odd, blank;
        const uint8_t *full_byte;  // byte of a pixel covered on c whole sub-scanlines
    };
    explicit EstimatedRows(const Setup &s) : s_(s), dwidth_(s.width), eps2_(2 * s.eps), inv_subs_(1.0 / s.subs) {}
    ~EstimatedRows() {
        if (cells_) mem::MemFree(cells_);
        if (saved_) mem::MemFree(saved_);
    }
    bool Init() {
        cells_ = static_cast<Cell *>(mem::MemAlloc(mem::kZeroInit, (s_.width + 2) * sizeof(Cell)));
        if (!s_.blank) saved_ = static_cast<uint8_t *>(mem::MemAlloc(0, s_.width + 1));
        return cells_ && (saved_ || s_.blank);
    }

    // The row of sub-scanlines r0 .. r0 + subs - 1 crossed by the active
    // edges (in x order), written into line. False when it cannot be
    // vouched for, with nothing changed: the caller fills it the exact
    // way. On success the edges are advanced past the row.
    bool Row(Edge *const *active, size_t n_edges, int64_t r0, uint8_t *line);
    // Up to n rows for two edges that both cross every sub-scanline of
    // each, from the row of sub-scanlines r0 on, the k-th written at line +
    // k * stride, after a Row of any kind has made the room. Returns how
    // many were written: they stop before the first row that cannot be
    // vouched for, which is left as it was. The edges end past the last
    // one written.
    int64_t PairRows(Edge *const *active, int64_t r0, int64_t n, uint8_t *line, size_t stride);

  private:
    // A cell's error bound is kept as a count of terms, each at most unit
    // (see Consts): an integer add where a crossing or a group is summed,
    // one product where the cell is written, and 16 bytes a cell.
    struct Cell {
        int64_t units;
        int32_t count;
        int32_t terms;
    };
    struct Box {  // an active edge in the row
        int32_t k0, k1;        // sub-scanlines of the row it crosses
        double lo, hi;         // estimated extent of its crossings
        uint32_t first, last;  // pixels it may have touched; last's top bit: see kQuiet
    };
    // Set in a box's last pixel: its edge adds nothing to the cells (see
    // Accumulate), and the writer leaves it out of its order. Pixels stay
    // below 2^31 (the flag is only set then).
    static constexpr uint32_t kQuiet = 0x80000000u;
    // What the row loops read, copied into a local: the stores to the
    // cells and the row could alias the members, which would then be read
    // again after each of them (and worked out again for every row).
    struct Consts {
        double inv_subs, eps2, right, dwidth;
        // One bound for every term of a cell's error (an eps per crossing
        // and per cell, a kGroupErr per part and per cell, a kLowTermErr
        // per crossing below pixel 8, or a crossing's eps + kGroupErr +
        // kLowTermErr): their sum, times the number of terms; unit2 is
        // twice it, for the interval's two sides.
        double unit, unit2;
        double w, max_cover;
        Cell *cells;
        const uint8_t *full_byte;
        uint32_t width;
        bool hard, blank;
    };
    Consts Local() const {
        return Consts{inv_subs_,
                      eps2_,
                      dwidth_ - eps2_,
                      dwidth_,
                      s_.eps + kLowTermErr + kGroupErr,
                      2 * (s_.eps + kLowTermErr + kGroupErr),
                      s_.w,
                      s_.subs * (1 + 1.0 / 1024),
                      cells_,
                      s_.full_byte,
                      s_.width,
                      s_.hard,
                      s_.blank};
    }

    // (g + 0.5) / subs as SubY, with the reciprocal kept (not divided out
    // again after every store the compiler cannot tell from the members).
    double Estimate(const Chord *c, int64_t g) const {
        return c->x0 + ((static_cast<double>(g) + 0.5) * inv_subs_ - c->y0) * c->slope;
    }
    void Add(uint32_t px, int32_t count, int64_t units, int32_t terms) {
        Cell &c = cells_[px];
        c.count += count;
        c.units += units;
        c.terms += terms;
    }
    // A crossing at the reference's x with role r, clipped to the buffer as
    // the reference's spans are; its bound: kLowTermErr below pixel 8.
    void AddExact(double x, int32_t r) {
        x = x < 0 ? 0 : x;
        if (x >= dwidth_) return;
        const uint32_t px = static_cast<uint32_t>(x);
        Add(px, r, -r * static_cast<int64_t>((x - px) * kUnit), px < kExactFrom ? 1 : 0);
    }
    void One(const Chord *c, int64_t g, int32_t r);
    __attribute__((noinline)) void Split(const Chord *c, int64_t g, int32_t n, double xa, double xb, int32_t r);
    // What an edge leaves after its part of a row: its extent, the chord of
    // its last crossing and (roughly) where that lies.
    struct EdgeRow {
        double lo, hi, last;
        const Chord *c;
    };
    inline __attribute__((always_inline)) EdgeRow FullEdge(const Consts &k, const Chord *c, int64_t gs, int64_t ge,
                                                           int32_t r);
    // True when the winding (the count, under even-odd) does not come back
    // to zero on the sub-scanline.
    bool Roles(int8_t *out, Edge *const *active, size_t n_edges, int64_t g, bool all) const;
    bool Apart(const Edge *a, const Edge *b, int64_t gs, int64_t ge) const;
    // Sets a box's extent and the pixels its edge may have touched (a
    // crossing near a border may have gone either way).
    static void FinishBox(const Consts &k, Box &b, double lo, double hi) {
        b.lo = lo;
        b.hi = hi;
        const double elo = lo - k.eps2, ehi = hi + k.eps2;
        if (elo > 0 && ehi < k.dwidth) {  // the usual case: both inside (elo <= ehi)
            b.first = static_cast<uint32_t>(elo);
            b.last = static_cast<uint32_t>(ehi);
            return;
        }
        b.first = elo <= 0 ? 0 : (elo >= k.dwidth ? k.width - 1 : static_cast<uint32_t>(elo));
        b.last = ehi <= 0 ? 0 : (ehi >= k.dwidth ? k.width - 1 : static_cast<uint32_t>(ehi));
    }
    // The first earlier active edge that shares a sub-scanline with edge i
    // without lying left of it by the bounds; i when there is none.
    size_t Conflict(Edge *const *active, size_t i, int64_t r0) const {
        const Box &b = boxes_.data[i];
        for (size_t j = 0; j < i; ++j) {
            const Box &a = boxes_.data[j];
            if (a.k0 < b.k1 && b.k0 < a.k1 && !(a.hi + 4 * eps2_ < b.lo) &&
                !Apart(active[j], active[i], r0 + (a.k0 > b.k0 ? a.k0 : b.k0), r0 + (a.k1 < b.k1 ? a.k1 : b.k1)))
                return j;
        }
        return i;
    }
    // An edge's part of a row with its roles per sub-scanline (rk, rstride
    // apart): into the cells, its extent and where it ends.
    inline __attribute__((always_inline)) EdgeRow PartEdge(const Consts &k, const Edge *e, const int8_t *rk,
                                                           size_t rstride, int64_t gs, int64_t ge);
    // Takes active edge m's cells back out, for its crossings go the exact
    // way (see Exact).
    __attribute__((noinline)) void Undo(const Consts &k, const Edge *e, int64_t r0, bool full, int8_t *roles,
                                        size_t n_edges, size_t m);
    void Exact(Edge *const *active, size_t end, int64_t r0);
    // At most this many edges of a row go the exact way inside an estimated
    // row; a row with more is an exact row.
    static constexpr size_t kMaxExact = 16;
    void Abandon(size_t n_boxes, bool written);
    // The two halves of Row: every edge's crossings into the cells (false:
    // the row cannot be vouched for, nothing changed), then the row
    // written from them (false: a byte is in doubt, the row restored).
    inline __attribute__((always_inline)) bool Accumulate(Edge *const *active, size_t n_edges, int64_t r0,
                                                          bool *sorted_out);
    bool Write(Edge *const *active, size_t n_edges, bool sorted, uint8_t *line);
    static inline bool Cells(const Consts &k, uint32_t from, uint32_t stop, int32_t &covered, uint8_t *line);
    // The runs of a fresh row of two edges around their cells: zeros
    // before a_first, mid from a_stop to b_first, tail from b_stop on.
    struct Runs {
        uint8_t *line;
        uint32_t a_first, a_stop, b_first, b_stop;
        uint8_t mid, tail;
    };
    // At most 32 rows and 8 KB a batch, and only for rows up to 512 bytes:
    // wider rows are written in address order, each run as its cells are
    // reached (the circle at 2048 took 16% longer in batches of 32 rows,
    // 7% longer in batches of one).
    static constexpr int32_t kRunBatch = 32;
    static constexpr uint32_t kRunBytes = 8192, kRunWidth = 512;
    static __attribute__((noinline)) void FreshRuns(const Runs *runs, int32_t n, uint32_t width) {
        for (int32_t i = 0; i < n; ++i) {
            const Runs &r = runs[i];
            if (r.a_first > 0) std::memset(r.line, 0, r.a_first);
            if (r.b_first > r.a_stop) std::memset(r.line + r.a_stop, r.mid, r.b_first - r.a_stop);
            if (width > r.b_stop) std::memset(r.line + r.b_stop, r.tail, width - r.b_stop);
        }
    }
    static inline bool FreshCells(const Consts &k, uint32_t from, uint32_t stop, uint32_t from2, uint32_t stop2,
                                  int32_t &covered, int32_t &between, uint8_t *line);

    const Setup s_;
    const double dwidth_, eps2_, inv_subs_;
    Cell *cells_ = nullptr;
    uint8_t *saved_ = nullptr;  // the row before writing, for buffers in use
    Array<Box> boxes_;
    Array<uint32_t> by_first_;  // boxes in order of their first pixel
    Array<int8_t> roles_;       // per active edge, or per sub-scanline and active edge
    Array<uint8_t> exact_;      // per active edge: its crossings go the exact way
    uint8_t *line_ = nullptr;  // the current row
    size_t listed_ = 0;        // boxes Accumulate left in by_first_, in order (0: none)
};

// One crossing on sub-scanline g with role r.
void EstimatedRows::One(const Chord *c, int64_t g, int32_t r) {
    double x = Estimate(c, g);
    if (x < -eps2_) {  // left of the buffer: clipped to its border (kLowTermErr)
        Add(0, r, 0, 1);
        return;
    }
    if (x > dwidth_ + eps2_) return;  // right of it: nothing visible
    const uint32_t px = x < 0 ? 0 : static_cast<uint32_t>(x);
    if (x < eps2_ || x - px < eps2_ || (px + 1.0) - x < eps2_) {
        // Too near a pixel border to tell: the reference's crossing.
        AddExact(c->At((static_cast<double>(g) + 0.5) * inv_subs_), r);  // SubY
        return;
    }
    // Its bound: eps + kGroupErr, plus kLowTermErr below pixel 8.
    Add(px, r, -r * static_cast<int64_t>((x - px) * kUnit), 1);
}

// Crossings g .. g + n - 1 of chord c with role r, estimated at xa and xb
// at the ends, that do not all lie in one pixel.
void EstimatedRows::Split(const Chord *c, int64_t g, int32_t n, double xa, double xb, int32_t r) {
    const double eps2 = eps2_;
    double lo = xa < xb ? xa : xb, hi = xa < xb ? xb : xa;
    if (hi < -eps2) {
        Add(0, r * n, 0, n);  // a kLowTermErr each
        return;
    }
    if (lo > dwidth_ + eps2) return;
    if (!(lo >= eps2 && hi <= dwidth_ - eps2)) {
        for (int64_t k = g; k < g + n; ++k) One(c, k, r);
        return;
    }
    // Crossing k of the part is estimated as xa + k * step, step = slope /
    // subs (exact from the rounded slope): the product and the sum round
    // once each and the step is off by u |slope| / subs, so the estimate
    // stays within 4.1 u B + 2 u B + u |dx| of the line, inside the bound,
    // and inside the buffer.
    const double step = c->slope * inv_subs_;
    // A run's bound: m * (eps + kLowTermErr below pixel 8) + kGroupErr.
    auto run = [&](uint32_t px, int32_t m, double len) {
        Add(px, r * m, -r * static_cast<int64_t>(len * kUnit), m + 1);
    };
    if (std::fabs(step) > 0.5) {
        // Crossings far apart: one at a time (a crossing too near a pixel
        // border goes the exact way).
        for (int32_t k = 0; k < n; ++k) {
            const double x = xa + k * step;
            const uint32_t px = static_cast<uint32_t>(x);
            if (x - px < eps2 || (px + 1.0) - x < eps2) One(c, g + k, r);
            else run(px, 1, x - px);
        }
        return;
    }
    // Several crossings per pixel: runs split where the line reaches the
    // pixel's far border. The split index comes from the inverse step and
    // is a guess: a run is kept only once its two ends (the crossings
    // between lie on the line between them) are inside the pixel by the
    // bound, and a guess that overshoots is pulled back a crossing at a
    // time.
    //
    // The pixels follow one another (a step is at most half a pixel), so
    // the split is worked out from the pixel the run is expected in (the
    // one after the last run's), and a crossing inside that pixel by the
    // bound is tested against it directly (the same expression as against
    // its own pixel, which it then is): the guess for the next pixel does
    // not wait for this run's crossings to be converted, and runs overlap
    // in the pipeline. The pixel is kept as an integer and as a double,
    // and the crossings' numbers as doubles too (exact), so a run takes
    // one conversion to an index and one back instead of seven. A wrong
    // expectation only costs the guess again; the runs and their sums are
    // the same.
    const double inv_step = 1.0 / step;
    const double far = step > 0 ? 1.0 : 0.0, dird = step > 0 ? 1.0 : -1.0;
    const uint32_t dir = step > 0 ? 1u : ~0u;
    int32_t k = 0;
    double kd = 0;
    uint32_t want = static_cast<uint32_t>(xa);
    double wantd = want;
    while (k < n) {
        const double x = xa + kd * step;
        if (!(x - wantd >= eps2 && (wantd + 1.0) - x >= eps2)) {
            // Not inside the expected pixel by the bound: its own pixel.
            const uint32_t px = static_cast<uint32_t>(x);
            if (x - px < eps2 || (px + 1.0) - x < eps2) {
                One(c, g + k, r);
                ++k;
                kd += 1;
                continue;
            }
            want = px;
            wantd = px;
        }
        const double at = ((wantd + far) - xa) * inv_step;
        int32_t m = at >= n ? n : (at <= k ? k + 1 : static_cast<int32_t>(at) + 1);
        double md = m;
        double xl = xa + (md - 1) * step;
        while (m - 1 > k && !(xl - wantd >= eps2 && (wantd + 1.0) - xl >= eps2)) {
            md = --m;
            xl = xa + (md - 1) * step;
        }
        run(want, m - k, ((x - wantd) + (xl - wantd)) * (0.5 * (md - kd)));
        k = m;
        kd = md;
        want += dir;
        wantd += dird;
    }
}

// An edge that crosses every sub-scanline of the row [gs, ge) with one
// role r. Chords inside one pixel (most chords of a steep edge) are summed
// in registers as sums of crossings: the n crossings of a chord lie on a
// line, so they add up to n times the crossing at their mean height. The
// pixel comes off when the sum goes to its cell. The sums stay below 16 B:
// each part rounds them by at most 16 u B plus u B for its product, and a
// part has a crossing at least, so with the estimate's 8.2 u B this fits
// the eps = 32 u (B + 1) added per crossing; taking the pixel off rounds
// once more, and one more eps goes with each cell.
inline EstimatedRows::EdgeRow EstimatedRows::FullEdge(const Consts &k, const Chord *c, int64_t gs, int64_t ge,
                                                      int32_t r) {
    const double eps2 = k.eps2, right = k.right, half_inv_subs = 0.5 * k.inv_subs;
    Cell *const cells = k.cells;
    double lo = HUGE_VAL, hi = -HUGE_VAL, last = 0;
    uint32_t pend_px = kNoPixel;
    int32_t pend_n = 0, pend_parts = 0;
    double pend_sum = 0;
    auto flush = [&] {
        Cell &cell = cells[pend_px];
        cell.count += r * pend_n;
        cell.units -= r * static_cast<int64_t>((pend_sum - pend_n * static_cast<double>(pend_px)) * kUnit);
        cell.terms += pend_n + pend_parts + 2;
    };
    // An edge's chords cover its sub-scanlines end to end, each at least
    // one: past the first, the next part is always the next chord.
    while (c->g1 <= gs) ++c;
    for (int64_t g = gs;; ++c) {
        const int64_t g1 = c->g1;
        const int32_t n = static_cast<int32_t>((g1 < ge ? g1 : ge) - g);
        const uint32_t px = c->px;
        if (px == kNoPixel) {
            // Not known to stay in one pixel: its two ends are estimated,
            // and it goes to one cell or is split.
            const double xa = Estimate(c, g), xb = n > 1 ? Estimate(c, g + n - 1) : xa;
            const double plo = xa < xb ? xa : xb, phi = xa < xb ? xb : xa;
            lo = plo < lo ? plo : lo;
            hi = phi > hi ? phi : hi;
            last = xb;
            if (r != 0) {
                const uint32_t q = plo >= eps2 && phi <= right ? static_cast<uint32_t>(plo) : kNoPixel;
                if (q != kNoPixel && plo - q >= eps2 && (q + 1.0) - phi >= eps2) {
                    if (q != pend_px) {
                        if (pend_px != kNoPixel) flush();
                        pend_px = q;
                        pend_n = 0;
                        pend_parts = 0;
                        pend_sum = 0;
                    }
                    pend_n += n;
                    ++pend_parts;
                    pend_sum += (xa + xb) * (0.5 * n);
                } else {
                    Split(c, g, n, xa, xb, r);
                }
            }
        } else {
            const double clo = c->Lo(), chi = c->Hi();
            lo = clo < lo ? clo : lo;
            hi = chi > hi ? chi : hi;
            last = clo;
            if (r != 0) {
                // Up to two pieces: below the chord's split in px, from it
                // on in px2 (one test for the usual single piece).
                auto piece = [&](uint32_t q, int64_t a, int32_t m) __attribute__((always_inline)) {
                    if (q != pend_px) {
                        if (pend_px != kNoPixel) flush();
                        pend_px = q;
                        pend_n = 0;
                        pend_parts = 0;
                        pend_sum = 0;
                    }
                    pend_n += m;
                    ++pend_parts;
                    // (a + m / 2) * inv_subs as (2a + m) * (inv_subs / 2):
                    // every factor exact, the same exact product, so the
                    // one rounding gives the same double.
                    pend_sum += m * (c->x0 + (static_cast<double>(2 * a + m) * half_inv_subs - c->y0) * c->slope);
                };
                // A chord in one pixel has its split at its end: the first
                // test settles it.
                const int64_t end = g + n, split = c->split;
                if (split >= end) {
                    piece(px, g, n);
                } else if (split <= g) {
                    piece(c->px2, g, n);
                } else {
                    piece(px, g, static_cast<int32_t>(split - g));
                    piece(c->px2, split, static_cast<int32_t>(end - split));
                }
            }
        }
        if (g1 >= ge) break;
        g = g1;
    }
    if (pend_px != kNoPixel) flush();
    return EdgeRow{lo, hi, last, c};
}

// Roles from the active order on sub-scanline g (all: every edge crosses
// it): +1 opens a span, -1 closes one, 0 neither.
bool EstimatedRows::Roles(int8_t *out, Edge *const *active, size_t n_edges, int64_t g, bool all) const {
    int32_t winding = 0, seen = 0;
    int8_t *last = nullptr;
    for (size_t i = 0; i < n_edges; ++i) {
        const Edge *e = active[i];
        if (!all && (g < e->g0 || g >= e->g1)) {
            out[i] = 0;
            continue;
        }
        if (s_.even_odd) {
            out[i] = static_cast<int8_t>(seen % 2 == 0 ? 1 : -1);
        } else {
            int32_t before = winding;
            winding += e->dir;
            out[i] = static_cast<int8_t>(before == 0 && winding != 0 ? 1 : (before != 0 && winding == 0 ? -1 : 0));
        }
        ++seen;
        last = out + i;
    }
    // A span still open at the last crossing closes there (an opener there
    // makes it empty); an unpaired even-odd crossing does nothing.
    if (s_.even_odd) {
        if (seen % 2) *last = 0;
        return seen % 2 != 0;
    }
    if (winding != 0) *last = static_cast<int8_t>(*last == 1 ? 0 : -1);
    return winding != 0;
}

// Whether edge b lies right of edge a, by more than both bounds, on every
// sub-scanline of [gs, ge) (both cross all of them). Between two chord
// ends both are lines, so the gap is checked where either changes chord.
bool EstimatedRows::Apart(const Edge *a, const Edge *b, int64_t gs, int64_t ge) const {
    const double eps4 = 2 * eps2_;
    const Chord *ca = a->cur, *cb = b->cur;
    for (int64_t g = gs; g < ge;) {
        while (ca->g1 <= g) ++ca;
        while (cb->g1 <= g) ++cb;
        int64_t stop = ca->g1 < cb->g1 ? ca->g1 : cb->g1;
        stop = stop < ge ? stop : ge;
        if (!(Estimate(cb, g) - Estimate(ca, g) > eps4)) return false;
        if (stop - 1 > g && !(Estimate(cb, stop - 1) - Estimate(ca, stop - 1) > eps4)) return false;
        g = stop;
    }
    return true;
}

// Gives up the row: every cell the first n_boxes edges may have touched
// cleared and, once writing has begun, the row as it was.
void EstimatedRows::Abandon(size_t n_boxes, bool written) {
    for (size_t i = 0; i < n_boxes; ++i)
        for (uint32_t px = boxes_.data[i].first; px <= (boxes_.data[i].last & ~kQuiet); ++px) cells_[px] = Cell{};
    if (!written) return;
    if (s_.blank) std::memset(line_, 0, s_.width);
    else std::memcpy(line_, saved_, s_.width);
}

bool EstimatedRows::Row(Edge *const *active, size_t n_edges, int64_t r0, uint8_t *line) {
    if (!boxes_.Reserve(n_edges) || !by_first_.Reserve(n_edges) ||
        !roles_.Reserve(n_edges * static_cast<size_t>(s_.subs)))
        return false;
    line_ = line;
    // Two edges across the whole row (every row of a convex shape but its
    // ends): one opens the span and the other closes it, under either rule.
    const int64_t r1 = r0 + s_.subs;
    if (n_edges == 2 && active[0]->g0 <= r0 && active[1]->g0 <= r0 && active[0]->g1 >= r1 && active[1]->g1 >= r1)
        return PairRows(active, r0, 1, line, 0) == 1;
    bool sorted = true;
    return Accumulate(active, n_edges, r0, &sorted) && Write(active, n_edges, sorted, line);
}

inline bool EstimatedRows::Accumulate(Edge *const *active, size_t n_edges, int64_t r0, bool *sorted_out) {
    const int32_t subs = s_.subs;
    const int64_t r1 = r0 + subs;
    const double eps4 = 2 * eps2_;
    const Consts consts = Local();
    // Roles first (they follow from the active order and the directions
    // alone): once for the row when every edge crosses every sub-scanline,
    // else per sub-scanline, recomputed only where an edge starts or ends.
    Box *const boxes = boxes_.data;
    int8_t *const roles = roles_.data;
    bool full = true, unclosed;  // unclosed: on some sub-scanline the winding does not come back to zero
    uint32_t changes = 1;
    bool quiet = false;  // some edge without a role (non-zero only)
    {
        int32_t winding = 0;
        for (size_t i = 0; i < n_edges; ++i) {
            const Edge *e = active[i];
            const int32_t k0 = e->g0 > r0 ? static_cast<int32_t>(e->g0 - r0) : 0;
            const int32_t k1 = e->g1 < r1 ? static_cast<int32_t>(e->g1 - r0) : subs;
            boxes[i].k0 = k0;
            boxes[i].k1 = k1;
            changes |= (1u << k0) | (1u << k1);
            full = full && k0 == 0 && k1 == subs;
            // The roles were every edge to cross every sub-scanline.
            if (s_.even_odd) {
                roles[i] = static_cast<int8_t>(i % 2 == 0 ? 1 : -1);
            } else {
                const int32_t before = winding;
                winding += e->dir;
                roles[i] = static_cast<int8_t>(before == 0 ? (winding != 0) : -(winding == 0));
                quiet |= before != 0 && winding != 0;
            }
        }
        // A span still open at the last crossing closes there (an opener
        // there makes it empty); an unpaired even-odd crossing does nothing.
        if (s_.even_odd) {
            if (n_edges % 2) roles[n_edges - 1] = 0;
            unclosed = n_edges % 2 != 0;
        } else {
            if (winding != 0) roles[n_edges - 1] = static_cast<int8_t>(roles[n_edges - 1] == 1 ? 0 : -1);
            unclosed = winding != 0;
        }
    }
    if (!full) {
        unclosed = false;
        for (int32_t k = 0; k < subs; ++k) {
            int8_t *column = roles + static_cast<size_t>(k) * n_edges;
            if (changes >> k & 1) unclosed |= Roles(column, active, n_edges, r0 + k, false);
            else std::memcpy(column, column - n_edges, n_edges);
        }
    }
    // Each edge's crossings, chord by chord, into the cells; the active
    // order must be every sub-scanline's order but among the edges that go
    // the exact way (see Exact): an edge must lie right of every earlier
    // edge that shares a sub-scanline with it, or it and the edges from
    // that one on go the exact way.
    double max_hi = -HUGE_VAL;
    bool sorted = true;  // boxes already in order of their first pixel
    size_t n_exact = 0, exact_end = 0;  // edges going the exact way, and one past the last of them
    for (size_t i = 0; i < n_edges; ++i) {
        Edge *e = active[i];
        Box &b = boxes[i];
        const int64_t gs = r0 + b.k0, ge = r0 + b.k1;
        const EdgeRow er = full ? FullEdge(consts, e->cur, gs, ge, roles[i])
                                : PartEdge(consts, e, roles + static_cast<size_t>(b.k0) * n_edges + i, n_edges, gs, ge);
        // Pixels it may have touched (a crossing near a border may have
        // gone either way).
        FinishBox(consts, b, er.lo, er.hi);
        if (!(max_hi + eps4 < er.lo)) {
            const size_t j = Conflict(active, i, r0);
            if (j < i) {
                if (n_exact == 0) {
                    if (!exact_.Reserve(n_edges)) {
                        Abandon(i + 1, false);
                        return false;
                    }
                    std::memset(exact_.data, 0, n_edges);
                }
                uint8_t *const exact = exact_.data;
                for (size_t m = j; m <= i; ++m) {
                    if (exact[m]) continue;
                    exact[m] = 1;
                    Undo(consts, active[m], r0, full, roles, n_edges, m);
                    ++n_exact;
                }
                exact_end = i + 1;
                if (n_exact > kMaxExact) {
                    Abandon(i + 1, false);
                    return false;
                }
            }
        }
        max_hi = er.hi > max_hi ? er.hi : max_hi;
        sorted = sorted && (i == 0 || boxes[i - 1].first <= b.first);
        // Where it stands after the row, should the row be kept.
        e->next = er.c;
        e->next_x = er.last;
    }
    if (n_exact > 0) {
        if (unclosed) {
            Abandon(n_edges, false);
            return false;
        }
        Exact(active, exact_end, r0);
    }
    // An edge without a role on every sub-scanline of the row (inside a
    // covered area under non-zero) adds nothing to the cells: the cells of
    // its box hold only other edges' crossings, which lie in their own
    // boxes. The writer leaves its box out (the runs either side of it
    // join, a memset and the certification of its cells saved); the box
    // took part in the order tests above all the same. An edge going the
    // exact way takes roles of its own there and keeps its box. (Even-odd
    // leaves only an unpaired last edge without a role: not looked for.)
    if (quiet && full && consts.width <= kQuiet) {
        const uint8_t *const exact = n_exact > 0 ? exact_.data : nullptr;
        uint32_t *const by_first = by_first_.data;
        size_t n = 0;
        for (size_t i = 0; i < n_edges; ++i) {
            if (roles[i] == 0 && !(exact && exact[i])) boxes[i].last |= kQuiet;
            else by_first[n++] = static_cast<uint32_t>(i);  // in order when sorted
        }
        listed_ = sorted ? n : 0;
        sorted = false;
    }
    *sorted_out = sorted;
    return true;
}

inline EstimatedRows::EdgeRow EstimatedRows::PartEdge(const Consts &k, const Edge *e, const int8_t *rk, size_t rstride,
                                                      int64_t gs, int64_t ge) {
    const double eps2 = k.eps2, right = k.right, inv_subs = k.inv_subs;
    // A run of chords inside one pixel (a steep edge) is summed in
    // registers, as in FullEdge (which takes the edges of full rows).
    const Chord *c = e->cur;
    double lo = HUGE_VAL, hi = -HUGE_VAL, xb = e->x;
    uint32_t pend_px = kNoPixel;
    int32_t pend_count = 0, pend_parts = 0;
    double pend_sum = 0;
    auto flush = [&] {
        if (pend_px == kNoPixel) return;
        const int32_t m = pend_count < 0 ? -pend_count : pend_count;
        const double len = pend_sum - pend_count * static_cast<double>(pend_px);
        // m * (eps + kLowTermErr below pixel 8) + eps + (parts + 1) *
        // kGroupErr: m + parts + 2 terms.
        Add(pend_px, pend_count, -static_cast<int64_t>(len * kUnit), m + pend_parts + 2);
        pend_px = kNoPixel;
    };
    // A part of count crossings summing to sum, all in pixel px.
    auto pend = [&](uint32_t px, int32_t count, double sum) {
        if (px != pend_px) {
            flush();
            pend_px = px;
            pend_count = 0;
            pend_parts = 0;
            pend_sum = 0;
        }
        pend_count += count;
        ++pend_parts;
        pend_sum += sum;
    };
    for (int64_t g = gs; g < ge;) {
        while (c->g1 <= g) ++c;
        const int32_t n = static_cast<int32_t>((c->g1 < ge ? c->g1 : ge) - g);
        // One role for the part?
        int32_t r = rk[0];
        for (int32_t j = 1; j < n && r != 2; ++j)
            if (rk[j * rstride] != r) r = 2;
        uint32_t px = c->px;
        if (px != kNoPixel && px == c->px2 && r != 2) {
            const double clo = c->Lo(), chi = c->Hi();
            lo = clo < lo ? clo : lo;
            hi = chi > hi ? chi : hi;
            xb = clo;
            if (r != 0) {
                // The n crossings lie on a line: their sum is n times
                // the crossing at their mean height.
                const double m = r * n;
                pend(px, r * n, m * (c->x0 + ((static_cast<double>(g) + 0.5 * n) * inv_subs - c->y0) * c->slope));
            }
        } else {
            const double xa = Estimate(c, g);
            xb = n > 1 ? Estimate(c, g + n - 1) : xa;
            const double plo = xa < xb ? xa : xb, phi = xa < xb ? xb : xa;
            lo = plo < lo ? plo : lo;
            hi = phi > hi ? phi : hi;
            if (r == 2) {
                for (int32_t j = 0; j < n; ++j)
                    if (rk[j * rstride]) One(c, g + j, rk[j * rstride]);
            } else if (r != 0) {
                px = plo >= eps2 && phi <= right ? static_cast<uint32_t>(plo) : kNoPixel;
                if (px != kNoPixel && plo - px >= eps2 && (px + 1.0) - phi >= eps2) {
                    pend(px, r * n, r * ((xa + xb) * (0.5 * n)));
                } else {
                    Split(c, g, n, xa, xb, r);
                }
            }
        }
        rk += n * rstride;
        g += n;
    }
    flush();
    return EdgeRow{lo, hi, xb, c};
}

// The cells of an edge's part of a row are integer sums of terms that
// change sign with its role and of none that depends on it otherwise
// (rounding to nearest and truncation are odd functions), so the same
// walk with every role negated takes away exactly what it gave, but the
// error terms, which it adds again: they bound the error of what is left,
// and more of them only widens the bound.
void EstimatedRows::Undo(const Consts &k, const Edge *e, int64_t r0, bool full, int8_t *roles, size_t n_edges,
                         size_t m) {
    const Box &b = boxes_.data[m];
    const int64_t gs = r0 + b.k0, ge = r0 + b.k1;
    if (full) {
        if (roles[m] != 0) FullEdge(k, e->cur, gs, ge, -roles[m]);
        return;
    }
    int8_t *rk = roles + static_cast<size_t>(b.k0) * n_edges + m;
    for (int32_t j = b.k0; j < b.k1; ++j) rk[(j - b.k0) * n_edges] = static_cast<int8_t>(-rk[(j - b.k0) * n_edges]);
    PartEdge(k, e, rk, n_edges, gs, ge);
}

// Edges that share sub-scanlines in the row without keeping apart by the
// bounds (two that cross there, or come too close) are marked exact, with
// every edge between them in the active order, so the marked edges form
// runs. Every pair of edges not in one run keeps apart on the sub-scanlines
// they share: the reference's crossings lie in the active order but within
// a run, and its sorted list of a sub-scanline is the active order with
// each run's crossings sorted in place. A run's crossings are the
// reference's own (its expression, a division each), sorted by the
// reference's rule, and take their roles from the winding (or the count,
// under even-odd) of the edges left of the run, which the order inside
// the run does not change; for the same reason the edges right of the run
// keep the roles the active order gave them. (When a sub-scanline's
// winding does not come back to zero, its last crossing closes the span
// still open: a run that may hold that crossing would need the fix-up
// applied inside it, so such a row goes the exact way.) Only the edges
// before end (one past the last exact one) are looked at. An exact crossing
// enters its cell as a crossing of One too near a border does, and lies
// in its edge's box (its estimates are within eps of it): the cells and
// their bounds, and so the argument for the row's bytes, are as before.
void EstimatedRows::Exact(Edge *const *active, size_t end, int64_t r0) {
    const int32_t subs = s_.subs;
    const bool even_odd = s_.even_odd;
    const Box *const boxes = boxes_.data;
    const uint8_t *const exact = exact_.data;
    // The winding (the count, under even-odd) of the edges so far on each
    // sub-scanline: all for the edges across the whole row, plus the
    // prefix sums of part, where the others start and end.
    int32_t all = 0, part[17] = {};
    Crossing xs[kMaxExact + 1];
    const Chord *cur[kMaxExact + 1];
    auto count = [&](size_t m) {
        const int32_t d = even_odd ? 1 : active[m]->dir, k0 = boxes[m].k0, k1 = boxes[m].k1;
        if (k0 == 0 && k1 == subs) {
            all += d;
        } else {
            part[k0] += d;
            part[k1] -= d;
        }
    };
    for (size_t i = 0; i < end;) {
        if (!exact[i]) {
            count(i++);
            continue;
        }
        size_t stop = i;
        while (stop < end && exact[stop]) ++stop;
        for (size_t m = i; m < stop; ++m) cur[m - i] = active[m]->cur;
        int32_t before = all;  // the winding left of the run on sub-scanline k
        for (int32_t k = 0; k < subs; ++k) {
            before += part[k];
            const int64_t g = r0 + k;
            const double ys = (static_cast<double>(g) + 0.5) * inv_subs_;  // SubY
            int32_t n = 0;
            for (size_t m = i; m < stop; ++m) {
                if (k < boxes[m].k0 || k >= boxes[m].k1) continue;
                const Chord *&c = cur[m - i];
                while (c->g1 <= g) ++c;
                const Crossing v{c->At(ys), active[m]->dir};
                int32_t j = n++;
                for (; j > 0 && Before(v, xs[j - 1]); --j)
                    xs[j] = xs[j - 1];
                xs[j] = v;
            }
            int32_t w = before;
            for (int32_t j = 0; j < n; ++j) {
                int32_t r;
                if (even_odd) {
                    r = w % 2 == 0 ? 1 : -1;
                    ++w;
                } else {
                    const int32_t was = w;
                    w += xs[j].dir;
                    r = was == 0 ? (w != 0) : -(w == 0);
                }
                if (r != 0) AddExact(xs[j].x, r);
            }
        }
        // The run's edges count for the runs after it like any other.
        while (i < stop) count(i++);
    }
}

// The usual mask (fresh, anti-aliased): cells [from, stop) and then
// [from2, stop2) (an empty range: from2 == stop2 == stop) written into the
// row, covered carried along and its value between the two ranges in
// between; false when a byte is in doubt. Every cell is certified by one
// rule, without the tests of the general loop: the bound of pixels below 8
// (the same expression, so the same decision there) for every pixel, and a
// cell without error terms certified too instead of written as it stands.
// Past pixel 8 the bound is then no smaller than the general loop's
// (rounding is monotone), and the byte is non-decreasing in the coverage,
// so two ends that agree hold v's byte, the one the general loop would
// write (above max_cover both give 255): the same bytes, and a row in
// doubt a little more often in theory (v within about 2^-40 of a byte's
// step). With 0 <= lo <= hi <= max_cover the byte is 0 .. 255 as it
// stands, and a top below 0 (v below 0, which no sum of coverage gives)
// fails rather than clamps. Both ranges in one loop: its constants stay in
// registers.
inline bool EstimatedRows::FreshCells(const Consts &k, uint32_t from, uint32_t stop, uint32_t from2, uint32_t stop2,
                                      int32_t &covered_io, int32_t &between, uint8_t *line) {
    const double w = k.w, max_cover = k.max_cover, unit2 = k.unit2;
    Cell *const cells = k.cells;
    int32_t covered = covered_io;
    for (uint32_t px = from;;) {
        for (; px < stop; ++px) {
            Cell &c = cells[px];
            const int64_t units = c.units;
            const int32_t terms = c.terms;
            covered += c.count;
            c = Cell{};
            const double v = static_cast<double>(units + static_cast<int64_t>(covered) * (int64_t{1} << 49)) * kInvUnit;
            const double bound = terms * unit2 + (kLowFlatErr + kGroupErr);
            double lo = v - bound, hi = v + bound;
            lo = lo > 0 ? lo : 0.0;
            hi = hi > max_cover ? max_cover : hi;
            const int32_t top = static_cast<int32_t>(hi * w - 0.98);
            if (static_cast<int32_t>(lo * w - 0.98) != top) return false;
            line[px] = static_cast<uint8_t>(top);
        }
        if (stop == stop2) break;
        between = covered;
        px = from2;
        stop = stop2;
    }
    covered_io = covered;
    return true;
}

// Cells [from, stop) written into the row, covered carried along; false
// when a byte is in doubt.
inline bool EstimatedRows::Cells(const Consts &k, uint32_t from, uint32_t stop, int32_t &covered_io, uint8_t *line) {
    const double w = k.w, max_cover = k.max_cover;
    const bool hard = k.hard, blank = k.blank;
    Cell *const cells = k.cells;
    int32_t covered = covered_io;
    if (blank && !hard) {
        int32_t between;
        return FreshCells(k, from, stop, stop, stop, covered_io, between, line);
    }
    for (uint32_t px = from; px < stop; ++px) {
        const Cell c = cells[px];
        cells[px] = Cell{};
        covered += c.count;
        const double v = static_cast<double>(c.units + static_cast<int64_t>(covered) * (int64_t{1} << 49)) * kInvUnit;
        int32_t byte;
        if (c.terms == 0 && px >= kExactFrom) {
            byte = v != 0.0 ? ToByte(v, w, hard) : (blank ? 0 : -1);
        } else {
            double bound = c.terms * k.unit2 + (px < kExactFrom ? kLowFlatErr + kGroupErr : kGroupErr);
            double lo = v - bound, hi = v + bound;
            if (!(lo > 0)) {
                // "Not written" and "0" differ on a buffer in use.
                if (!blank) return false;
                lo = 0;
            }
            // No pixel is covered more than once per sub-scanline (the
            // reference's sums can round a hair above): the byte only rises
            // up to there, while a hard mask's byte would wrap round past
            // 257/256.
            if (hi > max_cover) hi = max_cover;
            if (hard) {
                byte = Effective(hi, w, hard);
                if (Effective(lo, w, hard) != byte) return false;
            } else {
                // ToByte at both ends (a truncation each; at lo = 0 it
                // gives 0, as "not written" does).
                const int32_t top = static_cast<int32_t>(hi * w - 0.98);
                if (static_cast<int32_t>(lo * w - 0.98) != top && top > 0) return false;
                byte = top < 0 ? 0 : (top > 255 ? 255 : top);
            }
        }
        if (byte >= 0) line[px] = static_cast<uint8_t>(byte);
    }
    covered_io = covered;
    return true;
}

// Rows of two edges (every row of a convex shape but its ends): both edges
// into the cells, then, when their touched pixels do not overlap (the
// usual case, the first left of the second), the row as its five pieces in
// order (zeros, the first edge's cells, the full run, the second edge's
// cells, zeros) without the general walk over the open cells. The edges'
// chords stay in locals from row to row, and go back to the edges at the
// end or before a routine that reads them.
int64_t EstimatedRows::PairRows(Edge *const *active, int64_t r0, int64_t n, uint8_t *line, size_t stride) {
    const Consts k = Local();
    const int32_t subs = s_.subs;
    const double apart = 2 * eps2_;
    Edge *const a = active[0], *const b = active[1];
    const Chord *ca = a->cur, *cb = b->cur;
    double xa = a->x, xb = b->x;
    const bool fresh = k.blank && !k.hard && k.width <= kRunWidth;
    // Fresh rows: the runs around the cells are written a batch of rows at
    // a time, after the rows' cells, by a loop that has nothing else live
    // across its memset calls (here they would save and restore the edge
    // and cell loops' registers around every call).
    Runs runs[kRunBatch];
    int32_t n_runs = 0;
    const int32_t batch = k.width * kRunBatch > kRunBytes ? kRunBytes / k.width : kRunBatch;
    int64_t done = 0;
    for (; done < n; ++done, r0 += subs, line += stride) {
        const EdgeRow ea = FullEdge(k, ca, r0, r0 + subs, 1);
        const EdgeRow eb = FullEdge(k, cb, r0, r0 + subs, -1);
        Box *const boxes = boxes_.data;
        // The usual row: extents apart and inside the buffer by the bounds.
        // Then the first edge's extent lies below the second's at both
        // ends, and rounding is monotone, so every other bound of the two
        // is inside too: FinishBox's clamps could not change a pixel.
        const double a_lo = ea.lo - k.eps2, b_hi = eb.hi + k.eps2;
        if (ea.hi + apart < eb.lo && a_lo > 0 && b_hi < k.dwidth) {
            boxes[0].first = static_cast<uint32_t>(a_lo);
            boxes[0].last = static_cast<uint32_t>(ea.hi + k.eps2);
            boxes[1].first = static_cast<uint32_t>(eb.lo - k.eps2);
            boxes[1].last = static_cast<uint32_t>(b_hi);
        } else {
            FinishBox(k, boxes[0], ea.lo, ea.hi);
            FinishBox(k, boxes[1], eb.lo, eb.hi);
            if (!(ea.hi + apart < eb.lo)) {
                a->cur = ca;
                b->cur = cb;
                if (!Apart(a, b, r0, r0 + subs)) {
                    Abandon(2, false);
                    break;
                }
            }
        }
        line_ = line;
        if (boxes[0].last < boxes[1].first) {
            const uint32_t a_first = boxes[0].first, a_stop = boxes[0].last + 1, b_first = boxes[1].first,
                           b_stop = boxes[1].last + 1;
            int32_t covered = 0;
            if (fresh) {
                // Both edges' cells in one loop; the runs around them go to
                // the batch.
                int32_t inside = 0;
                if (!FreshCells(k, a_first, a_stop, b_first, b_stop, covered, inside, line)) {
                    Abandon(2, true);
                    break;
                }
                runs[n_runs++] = Runs{line, a_first, a_stop, b_first, b_stop, k.full_byte[inside], k.full_byte[covered]};
                if (n_runs == batch) {
                    FreshRuns(runs, n_runs, k.width);
                    n_runs = 0;
                }
                goto next;
            }
            if (!k.blank) std::memcpy(saved_, line, k.width);
            if (k.blank && a_first > 0) std::memset(line, 0, a_first);
            if (!Cells(k, a_first, a_stop, covered, line)) {
                Abandon(2, true);
                break;
            }
            if (b_first > a_stop && (covered != 0 || k.blank))
                std::memset(line + a_stop, covered ? k.full_byte[covered] : 0, b_first - a_stop);
            if (!Cells(k, b_first, b_stop, covered, line)) {
                Abandon(2, true);
                break;
            }
            if (k.width > b_stop && (covered != 0 || k.blank))
                std::memset(line + b_stop, covered ? k.full_byte[covered] : 0, k.width - b_stop);
        } else {
            a->next = ea.c;
            a->next_x = ea.last;
            b->next = eb.c;
            b->next_x = eb.last;
            if (!Write(active, 2, true, line)) break;
        }
    next:
        ca = ea.c;
        cb = eb.c;
        xa = ea.last;
        xb = eb.last;
    }
    if (n_runs > 0) FreshRuns(runs, n_runs, k.width);
    a->cur = ca;
    a->x = xa;
    b->cur = cb;
    b->x = xb;
    return done;
}

bool EstimatedRows::Write(Edge *const *active, size_t n_edges, bool sorted, uint8_t *line) {
    const Consts consts = Local();
    const Box *const boxes = boxes_.data;
    // Edges in order of their first pixel: every pixel left of the next
    // edge's first one is final. Between the open cells (those an edge may
    // have touched) the row is runs of whole coverage.
    // (Usually the active order already: then no list.)
    // Boxes marked quiet (see Accumulate) stay out of the list.
    uint32_t *by_first = by_first_.data;
    // (Listed already by Accumulate when they were in order.)
    size_t n_order = sorted ? n_edges : listed_;
    const bool listed = listed_ > 0;
    listed_ = 0;
    for (size_t i = 0; !sorted && !listed && i < n_edges; ++i) {
        if (boxes[i].last & kQuiet) continue;
        uint32_t v = static_cast<uint32_t>(i);
        size_t j = n_order++;
        while (j > 0 && boxes[by_first[j - 1]].first > boxes[v].first) {
            by_first[j] = by_first[j - 1];
            --j;
        }
        by_first[j] = v;
    }
    const bool blank = s_.blank;
    if (!blank) std::memcpy(saved_, line, s_.width);
    const uint8_t *const full_byte = s_.full_byte;
    int32_t covered = 0;
    uint32_t done = 0, open_lo = 1, open_hi = 0;  // open cells: [open_lo, open_hi], empty when lo > hi
    auto fill = [&](uint32_t to) {  // [done, to)
        if (to > done && (covered != 0 || blank)) std::memset(line + done, covered ? full_byte[covered] : 0, to - done);
    };
    for (size_t o = 0; o <= n_order; ++o) {
        const Box *b = o < n_order ? &boxes[sorted ? o : by_first[o]] : nullptr;
        const uint32_t end = b ? b->first : s_.width;
        if (end > done) {
            if (open_lo <= open_hi && open_lo < end) {
                fill(open_lo);
                const uint32_t stop = open_hi < end ? open_hi + 1 : end;
                if (!Cells(consts, open_lo, stop, covered, line)) goto undecided;
                done = stop;
                open_lo = stop;
            }
            fill(end);
            done = end;
        }
        if (b) {
            if (open_lo > open_hi) open_lo = b->first;
            if (b->last > open_hi || open_lo > open_hi) open_hi = b->last;
        }
    }
    for (size_t i = 0; i < n_edges; ++i) {
        active[i]->cur = active[i]->next;
        active[i]->x = active[i]->next_x;
    }
    return true;
undecided:
    Abandon(n_edges, true);
    return false;
}

}  // namespace

bool ScanFill(const KyPath *head, const FillSpec &spec, PathBuf buf) {
    const int32_t depth = pbuf::Depth(buf);
    const uint32_t width = pbuf::Width(buf), height = pbuf::Height(buf);
    const int32_t subs = spec.subs;
    const double dwidth = width;
    const bool blank = spec.blank && depth != 32;
    // A 32-bit mask is cleared to "nothing covered" row by row as the fill
    // reaches each row (while it is in cache), not all at once first.
    const bool clear32 = depth == 32;
    const size_t row_bytes = size_t{width} * (clear32 ? 4 : 1);
    if (width == 0 || height == 0) return true;
    if (depth == 32 && width > Mask32Rows::kMaxWidth) return ScanFillReference(head, spec, buf);
    const int64_t g_end = static_cast<int64_t>(height) * subs;
    const int32_t shift = subs == 16 ? 4 : (subs == 4 ? 2 : 0);  // row of sub-scanline g: g >> shift

    // Rows [0, zeroed) hold their final bytes (blank and 32-bit buffers).
    uint32_t zeroed = 0;
    auto zero_rows_to = [&](uint32_t end) {
        if (!(blank || clear32) || end <= zeroed) return;
        std::memset(pbuf::Row(buf, zeroed), clear32 ? 0xFF : 0, static_cast<size_t>(end - zeroed) * row_bytes);
        zeroed = end;
    };
    // Every way out of a blank or 32-bit fill leaves the rows not reached
    // empty.
    struct Finish {
        decltype(zero_rows_to) &zero;
        uint32_t rows;
        ~Finish() { zero(rows); }
    } finish{zero_rows_to, height};

    // The error bound of the estimated rows, from the largest |x| of any
    // point of the group: chords stay in their curve's hull (the
    // flattener drifts by far less than the pixel added), so no chord has
    // |x0| + |dx| above three times that.
    const Survey survey = SurveyGroup(head, spec.map);
    const double max_x = survey.max_x;
    const double max_reach = 3 * max_x * (1 + 1e-12);
    const double eps = kEpsScale * (max_reach + 1.0) * (spec.bound_scale > 1.0 ? spec.bound_scale : 1.0);
    // 32-bit masks have no estimated rows.
    const bool slopes = depth != 32;
    RunBuilder build(subs, g_end, max_x, eps, dwidth, slopes);
    if (!build.chords.Reserve(survey.chords)) return false;
    for (const KyPath *p = head; build.ok && p; p = path::GroupNext(p)) {
        if (IsOutlineOnly(p)) continue;
        build.Record(p, spec.map);
    }
    const bool ok = build.ok;
    Array<Chord> &chords = build.chords;
    Array<Edge> &edges = build.edges;
    if (!ok) return false;
    if (edges.size == 0) return true;
    for (size_t i = 0; i < edges.size; ++i) edges.data[i].cur = chords.data + edges.data[i].first;
    // Edges in order of their first sub-scanline: bucketed by row (counting
    // sort), then each row's few edges by sub-scanline.
    Array<Edge *> order, active;
    Array<uint32_t> bucket;
    if (!order.Reserve(edges.size) || !active.Reserve(edges.size) || !bucket.Reserve(size_t{height} + 1))
        return false;
    std::memset(bucket.data, 0, (size_t{height} + 1) * sizeof(uint32_t));
    for (size_t i = 0; i < edges.size; ++i) ++bucket.data[edges.data[i].g0 >> shift];
    uint32_t sum = 0;
    for (uint32_t r = 0; r <= height; ++r) {
        uint32_t n = bucket.data[r];
        bucket.data[r] = sum;
        sum += n;
    }
    for (size_t i = 0; i < edges.size; ++i) order.data[bucket.data[edges.data[i].g0 >> shift]++] = &edges.data[i];
    order.size = edges.size;
    if (subs > 1) {
        // Within a row, by sub-scanline: a second counting pass over the
        // row's bucket (a text line starts hundreds of edges in one row, so
        // an insertion sort here would go quadratic).
        Array<Edge *> scratch;
        size_t begin = 0;
        for (uint32_t r = 0; r < height && begin < order.size; ++r) {
            size_t end = bucket.data[r];  // after the scatter: one past the row's last edge
            if (end - begin > 1) {
                if (!scratch.Reserve(end - begin)) return false;
                uint32_t at[17] = {};
                for (size_t i = begin; i < end; ++i) ++at[(order.data[i]->g0 & (subs - 1)) + 1];
                for (int32_t k = 1; k <= subs; ++k) at[k] += at[k - 1];
                for (size_t i = begin; i < end; ++i) scratch.data[at[order.data[i]->g0 & (subs - 1)]++] = order.data[i];
                std::memcpy(order.data + begin, scratch.data, (end - begin) * sizeof(Edge *));
            }
            begin = end;
        }
    }
    RowAccumulator acc;
    if (depth != 32 && !acc.Init(width)) return false;

    const double w = 256.0 / subs;
    uint8_t full_byte[17];
    for (int32_t c = 0; c <= subs && c <= 16; ++c) full_byte[c] = static_cast<uint8_t>(ToByte(c, w, spec.hard));

    // Crossings of one pixel row: `room` slots per sub-scanline.
    Array<Crossing> cross, regathered[2];
    Mask32Rows m32;
    if (depth == 32 && !m32.Init(width, spec.even_odd, spec.baseline_simd)) return false;
    size_t room = 0;
    int32_t counts[16];
    double centre[16];  // sub-scanline centres within a row: SubY(g) = row + centre[g - row * subs]
    for (int32_t k = 0; k < subs && k < 16; ++k) centre[k] = (k + 0.5) / subs;

    EstimatedRows est(EstimatedRows::Setup{subs, width, eps, w, spec.hard, spec.even_odd, blank, full_byte});
    const bool estimate = slopes && build.reach_ok;
    if (estimate && !est.Init()) return false;

    int32_t failed_estimates = 0, skip_estimate = 0;
    size_t next = 0;
    int64_t row = order.data[0]->g0 >> shift;
    const int64_t rows = height;
    // No active edge ends before retire_at (the least of their ends), so
    // rows above it retire nothing and skip the pass over the edges.
    int64_t retire_at = INT64_MAX;
    // The active edges' latest crossings are in order (the last exact row
    // found them so: see `ordered` below and Mask32Rows::Row), and the
    // insertion sort would move nothing.
    bool in_order = false;
    for (; row < rows; ++row) {
        const int64_t r0 = row * subs, r1 = r0 + subs;
        if (retire_at <= r0) {
            size_t kept = 0;
            int64_t low = INT64_MAX;
            for (size_t i = 0; i < active.size; ++i) {
                Edge *e = active.data[i];
                if (e->g1 <= r0) continue;
                active.data[kept++] = e;
                low = e->g1 < low ? e->g1 : low;
            }
            active.size = kept;
            retire_at = low;
        }
        if (active.size == 0) {
            if (next == order.size) break;
            int64_t first = order.data[next]->g0 >> shift;
            if (first > row) {
                row = first - 1;
                continue;
            }
        }
        // Active edges in x order, so each sub-scanline's list comes out
        // nearly sorted and the insertion sorts below stay short. The edges
        // carried over moved only a little since the last row (insertion
        // sort); the new ones are sorted apart and merged in.
        auto by_x = [](const Edge *a, const Edge *b) { return a->x < b->x; };
        // After a 32-bit row in order only up to the crossings' rounding,
        // edges may tie out of x order; the merge below needs it exact.
        if (depth == 32 && next < order.size && order.data[next]->g0 < r1) in_order = false;
        for (size_t i = 1; !in_order && i < active.size; ++i) {
            Edge *e = active.data[i];
            size_t j = i;
            while (j > 0 && by_x(e, active.data[j - 1])) {
                active.data[j] = active.data[j - 1];
                --j;
            }
            active.data[j] = e;
        }
        in_order = false;
        const size_t carried = active.size;
        while (next < order.size && order.data[next]->g0 < r1) {
            Edge *e = order.data[next++];
            const Chord *c = e->cur;
            // Its first crossing (roughly, from the slope where chords have
            // one): edges leaving one vertex come in the order they keep
            // below it.
            const double ys = SubY(e->g0, subs);
            e->x = slopes ? c->x0 + (ys - c->y0) * c->slope : c->At(ys);
            retire_at = e->g1 < retire_at ? e->g1 : retire_at;
            active.data[active.size++] = e;
        }
        if (active.size > carried) {
            std::sort(active.data + carried, active.data + active.size, by_x);
            std::inplace_merge(active.data, active.data + carried, active.data + active.size, by_x);
        }
        uint8_t *line = pbuf::Row(buf, static_cast<uint32_t>(row));
        zero_rows_to(static_cast<uint32_t>(row));
        if (estimate && skip_estimate == 0) {
            if (est.Row(active.data, active.size, r0, line)) {
                if (blank) zeroed = static_cast<uint32_t>(row) + 1;
                failed_estimates = 0;
                // The rows between two sides of a convex shape follow each
                // other with nothing to admit, retire or sort: straight on
                // while both edges cross every sub-scanline of the next row
                // and none starts in it (a row that cannot be vouched for
                // goes round the loop as usual).
                if (active.size == 2) {
                    const int64_t a1 = active.data[0]->g1, b1 = active.data[1]->g1;
                    int64_t last = a1 < b1 ? a1 : b1;  // rows end before it
                    if (next < order.size && order.data[next]->g0 < last) last = order.data[next]->g0;
                    int64_t n = last >= r1 ? (last - r1) / subs : 0;
                    n = n < rows - (row + 1) ? n : rows - (row + 1);
                    if (n > 0) {
                        row += est.PairRows(active.data, r1, n, line + pbuf::StrideBytes(buf), pbuf::StrideBytes(buf));
                        if (blank) zeroed = static_cast<uint32_t>(row) + 1;
                    }
                }
                continue;
            }
            // Where edges cross in row after row (a star polygon's
            // interior), trying first is wasted work: back off, doubling
            // the rows skipped while the tries keep failing. Exact rows
            // give the same bytes, so this only moves time.
            if (failed_estimates < 4) ++failed_estimates;
            skip_estimate = (1 << failed_estimates) - 1;
        } else if (skip_estimate > 0) {
            --skip_estimate;
        }
        if (blank || clear32) {
            std::memset(line, clear32 ? 0xFF : 0, row_bytes);
            zeroed = static_cast<uint32_t>(row) + 1;
        }
        if (active.size > room) {
            room = active.size * 2;
            if (depth == 32 ? !m32.Room(room)
                            : !cross.Reserve(room * static_cast<size_t>(subs)) || !regathered[0].Reserve(room) ||
                                  !regathered[1].Reserve(room) || !acc.Room(room / 2 + 1))
                return false;
        }
        if (depth == 32) {
            in_order = m32.Row(active.data, active.size, r0, line);
            continue;
        }
        // Two active edges never need sorting (see the n == 2 case below);
        // with more, the row's extents tell whether any sort is needed.
        const bool track = active.size > 2;
        // All crossings of the row, edge by edge: the divisions do not
        // depend on each other, so they overlap in the pipeline.
        Crossing *slot[16];
        for (int32_t sub = 0; sub < subs; ++sub) slot[sub] = cross.data + static_cast<size_t>(sub) * room;
        for (size_t i = 0; i < active.size; ++i) {
            Edge *e = active.data[i];
            int64_t gs = e->g0 > r0 ? e->g0 : r0, ge = e->g1 < r1 ? e->g1 : r1;
            double x = e->x, lo_x = HUGE_VAL, hi_x = -HUGE_VAL;
            const Chord *c = e->cur;
            while (c->g1 <= gs) ++c;
            if (c->g1 >= ge) {
                // One chord for the whole row (every line, most curves'
                // rows at small scales): its crossings are monotone in x,
                // so the first and last bound them.
                const double x0 = c->x0, y0 = c->y0, dx = c->dx, dy = c->dy;
                const int32_t dir = e->dir;
                if (subs == 16) {
                    // The sub-scanline centres are the row plus the centres
                    // within a row (the sum is exact: multiples of 1/32 far
                    // below 2^52), the same doubles SubY gives. The
                    // crossings go into an array first, a loop the compiler
                    // vectorises (the divisions are independent).
                    const double base = static_cast<double>(row);
                    const int32_t k0 = static_cast<int32_t>(gs - r0), k1 = static_cast<int32_t>(ge - r0);
                    double xs[16];
                    for (int32_t k = k0; k < k1; ++k) xs[k] = x0 + ((base + centre[k]) - y0) * dx / dy;
                    const int32_t at = static_cast<int32_t>(i);
                    for (int32_t k = k0; k < k1; ++k) *slot[k]++ = Crossing{xs[k], dir, at};
                    if (k1 > k0) {
                        x = xs[k1 - 1];
                        if (track) {
                            const double first = xs[k0];
                            lo_x = first < x ? first : x;
                            hi_x = first < x ? x : first;
                        }
                    }
                } else {
                    // Fewer sub-scanlines: one at a time, the centres stepping
                    // by an exact 1/subs (the same doubles SubY gives).
                    const double step = 1.0 / subs;
                    double y = SubY(gs, subs);
                    Crossing **at = slot + (gs - r0);
                    for (int64_t g = gs; g < ge; ++g, ++at, y += step) {
                        x = x0 + (y - y0) * dx / dy;
                        *(*at)++ = Crossing{x, dir, static_cast<int32_t>(i)};
                    }
                    if (track && ge > gs) {
                        const double first = (*(at - (ge - gs)) - 1)->x;
                        lo_x = first < x ? first : x;
                        hi_x = first < x ? x : first;
                    }
                }
                e->x = x;
                e->cur = c;
                e->row_min = lo_x;
                e->row_max = hi_x;
                continue;
            }
            for (int64_t g = gs; g < ge; ++g) {
                while (c->g1 <= g) ++c;
                x = c->At(SubY(g, subs));
                if (track) {
                    lo_x = x < lo_x ? x : lo_x;
                    hi_x = x > hi_x ? x : hi_x;
                }
                *slot[g - r0]++ = Crossing{x, e->dir, static_cast<int32_t>(i)};
            }
            e->x = x;
            e->cur = c;
            e->row_min = lo_x;
            e->row_max = hi_x;
        }
        // When the active edges keep to separate x ranges within the row,
        // every sub-scanline's list is already in order (it was filled in
        // active order), and the sorts below can be skipped.
        // (Every active edge has at least one crossing in the row: it was
        // admitted before the row's end and retired only after its start.)
        for (int32_t sub = 0; sub < subs; ++sub)
            counts[sub] = static_cast<int32_t>(slot[sub] - (cross.data + static_cast<size_t>(sub) * room));
        bool ordered = track;
        for (size_t i = 1; ordered && i < active.size; ++i)
            if (active.data[i]->row_min <= active.data[i - 1]->row_max) ordered = false;
        in_order = ordered;
        // With every crossing of the row inside the buffer (the usual case:
        // the buffer is the shape's box), the spans need no clamping. Worth
        // the check under even-odd, where every crossing ends a span.
        bool inside = track && spec.even_odd;
        for (size_t i = 0; inside && i < active.size; ++i)
            inside = active.data[i]->row_min >= 0 && active.data[i]->row_max <= dwidth;
        // The last sub-scanline's list as sorted, when it holds a crossing
        // of every active edge.
        const Crossing *sorted = nullptr;
        for (int32_t sub = 0; sub < subs; ++sub) {
            const size_t n = static_cast<size_t>(counts[sub]);
            const Crossing *above = sorted;
            sorted = nullptr;
            if (n < 2) continue;
            Crossing *list = cross.data + static_cast<size_t>(sub) * room;
            if (!ordered && n > 2 && n == active.size) {
                // Taken in the order the sub-scanline above sorted its
                // crossings into, where edges that crossed since the last
                // row are already in place, not in the edges' order as of
                // the last row: the sort below then moves only what crossed
                // between the two (a star polygon's lists moved a crossing
                // in every 11, each move a missed branch or two).
                if (above) {
                    Crossing *const into = regathered[sub & 1].data;
                    for (size_t j = 0; j < n; ++j) into[j] = list[above[j].edge];
                    list = into;
                }
                sorted = list;
            }
            uint32_t k = 0;  // spans so far on this sub-scanline
            double first_a = 0, last_b = 0;
            auto span = [&](double a, double b) __attribute__((always_inline)) {
                if (!inside) {
                    a = a < 0 ? 0 : (a > dwidth ? dwidth : a);
                    b = b < 0 ? 0 : (b > dwidth ? dwidth : b);
                }
                if (!(a < b)) return;
                if (k == 0) first_a = a;
                last_b = b;
                acc.Span(a, b, k++);
            };
            if (n == 2) {
                // Two crossings make one span under either rule: opposite
                // directions close it, equal ones never return to zero and
                // close at the last crossing.
                double a = list[0].x, b = list[1].x;
                if (b < a) std::swap(a, b);
                span(a, b);
                if (k > 0) acc.Spanned(k, first_a, last_b);
                continue;
            }
            // Even-odd pairs crossings by position alone: crossings at one
            // x give the same sequence of x whichever comes first, so the
            // direction needs no tie-break there.
            if (!ordered && spec.even_odd) {
                for (size_t i = 1; i < n; ++i) {
                    const Crossing c = list[i];
                    if (!(c.x < list[i - 1].x)) continue;  // the usual case: already in place
                    size_t j = i;
                    do {
                        list[j] = list[j - 1];
                        --j;
                    } while (j > 0 && c.x < list[j - 1].x);
                    list[j] = c;
                }
            } else {
                for (size_t i = 1; !ordered && i < n; ++i) {
                    const Crossing c = list[i];
                    if (c.x > list[i - 1].x || !Before(c, list[i - 1])) continue;
                    size_t j = i;
                    do {
                        list[j] = list[j - 1];
                        --j;
                    } while (j > 0 && Before(c, list[j - 1]));
                    list[j] = c;
                }
            }
            if (spec.even_odd) {
                for (size_t i = 0; i + 1 < n; i += 2) span(list[i].x, list[i + 1].x);
            } else {
                int32_t winding = 0;
                double start = 0;
                for (size_t i = 0; i < n; ++i) {
                    const int32_t dir = list[i].dir;
                    winding += dir;
                    // One test for both changes (dir is never 0): the winding
                    // left zero when it now equals this crossing's direction.
                    if (winding == dir || winding == 0) {
                        if (winding == 0) span(start, list[i].x);
                        else start = list[i].x;
                    }
                }
                if (winding != 0) span(start, list[n - 1].x);
            }
            if (k > 0) acc.Spanned(k, first_a, last_b);
        }
        acc.Settle();
        if (acc.lo <= acc.hi) {
            // Walk the marked pixels in order; between two marks the
            // count of full sub-scanlines is constant and nothing partial
            // happened, so the run gets one byte value.
            int32_t count = 0;
            uint32_t pos = acc.lo;
            auto fill = [&](uint32_t from, uint32_t to) {  // [from, to)
                if (count == 0 || from >= width) return;
                if (to > width) to = width;
                if (to > from) std::memset(line + from, full_byte[count], to - from);
            };
            for (uint32_t k = acc.lo >> 6; k <= acc.hi >> 6; ++k) {
                uint64_t bits = acc.marks[k];
                acc.marks[k] = 0;
                while (bits) {
                    uint32_t px = k * 64 + static_cast<uint32_t>(__builtin_ctzll(bits));
                    bits &= bits - 1;
                    fill(pos, px);
                    pos = px + 1;
                    count += acc.diff[px];
                    acc.diff[px] = 0;
                    double v;
                    if (px < kExactFrom) {
                        v = acc.low[px];  // pixels below 8 never use the counts
                        acc.low[px] = 0.0;
                    } else {
                        int64_t units = acc.part[px];
                        acc.part[px] = 0;
                        if (units == 0) {
                            if (count != 0 && px < width) line[px] = full_byte[count];
                            continue;
                        }
                        v = static_cast<double>(units + (static_cast<int64_t>(count) << 49)) * kInvUnit;
                    }
                    if (v == 0.0 || px >= width) continue;
                    line[px] = static_cast<uint8_t>(ToByte(v, w, spec.hard));
                }
            }
            acc.lo = UINT32_MAX;
            acc.hi = 0;
        }
    }
    return true;
}

}  // namespace raster


