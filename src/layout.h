// The layout of an IXF archive: a 0x5004-byte prefix that is never read,
// then BMP images stored back to back until something that is not one.
#ifndef VELDOR_LAYOUT_H_
#define VELDOR_LAYOUT_H_

#include <cstdint>

#include "stream.h"

/// Offset of the first image entry.
const int64_t image_area_offset = 0x5004;

/// Marks the end of the image area.
const int32_t end_of_images = -1;

/// Checks that |archive| holds "BM" at the image area's offset.  Returns 0
/// with the stream positioned there, or 1 when the archive is not an IXF
/// archive (position unspecified).
int verify_archive(archive_stream *archive);

/// Returns the length in bytes of the image entry at the current position,
/// width x height x 3 + 56 in 32-bit two's complement, and leaves the stream
/// back on the entry's first byte (a move inside the stream's buffer).
/// Returns end_of_images when no entry starts there: fewer than 26 bytes
/// left, or no "BM" signature.  A length that happens to compute to -1
/// reads as the end too.
int32_t read_entry_length(archive_stream *archive);

#endif  // VELDOR_LAYOUT_H_
