// edit/flat_form.h - the flat serialised form of a path chain.
//
// Layout (every field a 32-bit little-endian word, whatever the target):
//
//   0          H = 8 n + 16, where the records start
//   4          0
//   8 + 8k     tag of record k: nonzero, distinct, what its links refer to
//   12 + 8k    byte size of record k in the block
//   8 + 8n     0, 0 ends the table
//   H          the records back to back: ten header words (version, prev,
//              next, groupPrev, groupNext, selPrev, selNext, count, flags,
//              shape; links as tags), then the points, then spare room
//   after      the OutlineInfo blob, only when record 0 carries one:
//              T, eighteen words (words 2, 5, 7 the offsets, from the
//              first word, of nested flat blocks of the attached paths),
//              then those nested blocks
//
// The block is the library's main untrusted input: hosts keep it in
// documents and on the clipboard. The reader therefore takes a byte span
// and checks every offset, size and count against it before reading;
// anything that does not describe a well-formed chain is refused whole.
#pragma once

#include <cstddef>
#include <cstdint>

#include "y32path/types.h"

namespace flat {

constexpr int32_t kVersionFlat = 769;    // stamped by the writer
constexpr int32_t kVersionNewer = 1280;  // records of the newer format, copied as they are
constexpr size_t kFlatHeader = 40;       // ten 32-bit header words
constexpr size_t kOldFlatHeader = 32;    // eight words: no version, no shape
constexpr size_t kInfoWords = 18;
constexpr size_t kInfoBlobHeader = 4 + kInfoWords * 4;  // T, then the words
// Arrowhead templates carry no stroke of their own, so real blocks nest one
// level; the cap keeps hostile input from recursing deep.
constexpr int kMaxNesting = 8;

// The head of the table list holding p, walking prev; null when p or a
// record before it is not a live record.
KyPath *Head(KyPath *p);

// Byte size of the flat form of the list starting at head (walked along
// next). False when it cannot be written: a record that is not a live
// block or whose count does not fit its block, nesting deeper than
// kMaxNesting, or a total beyond INT32_MAX.
bool Measure(const KyPath *head, uint64_t *size);

// Writes the flat form of the list into out, which holds exactly
// Measure() bytes and is zero-filled, and stamps version 769 into the live
// records. Call only after Measure succeeded for the same list. Throws
// std::bad_alloc when its lookup table cannot be had (the export catches
// it and frees the block).
void Write(KyPath *head, uint8_t *out, size_t size);

enum class ReadResult { kOk, kMalformed, kNoMemory };

// Builds a new table list from the flat block in [data, data + size).
// kOk: *head receives it (null for a block without records) and *used the
// bytes the block spans (the rest of the span is not looked at). Otherwise
// nothing stays allocated and *head is null.
ReadResult Read(const uint8_t *data, size_t size, KyPath **head, size_t *used);

}  // namespace flat
