// core/diag.h - diagnostics and failure reports.
//
// DebugPrint sends a formatted line to the debugger output. The format is
// cut to 127 bytes and the expansion to 511, never written past its buffer.
// Diagnostics carry no control flow.
//
// Every failure the host must see goes through ReportError, so one
// breakpoint catches them all. Reporting never replaces the failing
// function's own result.
#pragma once

#include <cstdint>

namespace diag {

constexpr int32_t kModule = 2600;

// Error codes.
constexpr int32_t kErrNoMemory = 1001;
constexpr int32_t kErrUnsuitable = 3200;
constexpr int32_t kErrCancelled = 5200;
constexpr int32_t kErrBaselineShort = 5404;

// Source-unit numbers of the reporting places.
constexpr int32_t kUnitSegmentConvert = 10;
constexpr int32_t kUnitPixelBuffers = 15;
constexpr int32_t kUnitRelief19 = 19;
constexpr int32_t kUnitRelief20 = 20;
constexpr int32_t kUnitRelief21 = 21;
constexpr int32_t kUnitArrowRelief = 23;
constexpr int32_t kUnitSubdivide = 40;
constexpr int32_t kUnitWrap = 41;

void ReportError(int32_t aux, int32_t code, int32_t severity, int32_t unit, int32_t line);

}  // namespace diag

// Reports `code` from the current line of `unit`.
#define Y32_REPORT(code, severity, unit) ::diag::ReportError(0, (code), (severity), (unit), __LINE__)

void DebugPrint(const char *format, ...) __attribute__((format(printf, 1, 2)));
