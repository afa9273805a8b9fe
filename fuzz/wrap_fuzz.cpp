// fuzz/wrap_fuzz.cpp - libFuzzer target for bending a figure along a
// baseline: a figure of a few records and a baseline of lines and curves
// (or none, for the built-in circles), with every field of the wrap
// description taken from the input.
//
// Beyond AddressSanitizer's checks the target aborts when a failed wrap
// changed the figure or its holder, when a result's links are unsound, or
// when private-heap blocks are left once figure, result and baseline are
// freed.
#include <cstring>

#include "fuzz_paths.h"
#include "y32path/deform.h"

namespace {

constexpr const char *kName = "wrap_fuzz";

double PickFraction(fuzz::Reader &in, std::initializer_list<double> common) {
    const uint8_t i = in.U8();
    if (i < common.size()) return common.begin()[i];
    if (i == 255) {
        const uint64_t bits = in.U64();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }
    return (i - 128) / 64.0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::InitLibrary();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > 4096) return -1;
    fuzz::Reader in(data, size);
    const size_t live = fuzz::LiveBlocks();

    WrapInfo info{};
    info.fitToLength = in.U8() & 1;
    info.repeatCount = in.Range(-1, 6);
    info.spacing = PickFraction(in, {0.0, -1.0, 0.1, 0.5});
    const uint8_t bits = in.U8();
    info.orientation = bits & 1;
    info.option7 = bits >> 1 & 1;
    info.option8 = bits >> 2 & 1;
    info.smoothCorners = bits >> 3 & 1;
    info.text = bits >> 4 & 1;
    info.recentre = bits >> 5 & 1;
    info.version = bits >> 6 & 1;
    info.startHeight = in.Range(0, 300);
    info.endHeight = in.Range(0, 300);
    info.startOffset = PickFraction(in, {0.0, 0.25, 0.999, 1.0, -0.5});
    info.positionX = in.Range(-500, 500);
    info.positionY = in.Range(-500, 500);
    info.baselineLevel = info.text ? in.Range(0, 200) : PickFraction(in, {0.0, 0.5, 1.0});
    static const int32_t kAmplitudes[] = {100, 50, -50, 0};
    info.amplitude = kAmplitudes[in.U8() & 3];
    info.shape = in.Range(0, 3);
    if (!(in.U8() & 1)) {
        const int32_t ascent = in.Range(0, 200);
        info.ascentDescent = ascent << 16 | in.Range(0, 100);
    }
    info.truncateRule = in.Range(0, 3);

    KyPath *baseline = nullptr;
    if (in.U8() != 0) {
        fuzz::ListShape line;
        line.max_records = 1;
        line.max_points = 24;
        line.lo = 0, line.span = 400;
        line.raw_types = in.U8() == 7;
        baseline = fuzz::ReadList(in, line).front();
    }
    info.baseline = baseline;

    fuzz::ListShape figure;
    figure.max_records = 4;
    figure.max_points = 40;
    figure.lo = 0, figure.span = 100;
    figure.raw_types = in.U8() == 7;
    std::vector<KyPath *> recs = fuzz::ReadList(in, figure);
    if (recs.empty()) {
        KyPathDeletePtr(baseline, 0);
        return 0;
    }
    if (info.text)
        for (KyPath *r : recs) r->flags |= 0x40000000u;
    KyPath *target = recs[in.Range(0, static_cast<int32_t>(recs.size()) - 1)];
    KyPath *const held = target;
    const std::vector<uint8_t> before = fuzz::Snapshot(recs[0]);

    if (KyPathWrap(&target, &info) == 1) {
        fuzz::Check(target != nullptr, kName, "success without a result");
        fuzz::CheckList(kName, target);
        fuzz::Check(!target->prev, kName, "the result is not a list head");
        for (const KyPath *r = target; r; r = r->next) fuzz::Check(r != baseline, kName, "the baseline in the result");
        KyPathDeletePtr(target, 0);
    } else {
        fuzz::Check(target == held, kName, "a failed wrap moved the holder");
        fuzz::Check(fuzz::Snapshot(recs[0]) == before, kName, "a failed wrap changed the figure");
        KyPathDeletePtr(recs[0], 0);
    }
    KyPathDeletePtr(baseline, 0);
    fuzz::Check(fuzz::LiveBlocks() == live, kName, "private heap blocks left behind");
    return 0;
}
