// Reading the IXF archive layout from the archive stream.
#include "layout.h"

namespace {

// Offsets within an entry.
const int size_offset = 18;  // width, then height, 4 bytes each
const int header_size = 26;  // up to the end of the height

// Little-endian on every host.
uint32_t load_le32(const unsigned char *p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
         uint32_t(p[3]) << 24;
}

// Reads a 32-bit two's-complement value without relying on how the
// compiler converts out-of-range unsigned values.
int32_t to_signed(uint32_t v) {
  return v <= INT32_MAX ? int32_t(v) : -int32_t(~v) - 1;
}

// Width x height x 3 + 56, modulo 2^32 as a signed 32-bit value.
int32_t entry_length(int32_t width, int32_t height) {
  // Unsigned arithmetic wraps by definition; signed overflow would not.
  return to_signed(uint32_t(width) * uint32_t(height) * 3u + 56u);
}

}  // namespace

int verify_archive(archive_stream *archive) {
  stream_seek(archive, image_area_offset);
  // What the file does not hold stays 0, which is neither 'B' nor 'M'.
  unsigned char signature[2] = {};
  stream_read(archive, signature, 2);
  if (signature[0] != 'B' || signature[1] != 'M')
    return 1;
  stream_skip(archive, -2);
  return 0;
}

int32_t read_entry_length(archive_stream *archive) {
  // The signature and both sizes in one read: an entry too short to hold
  // them ends the image area just as a wrong signature does.
  unsigned char header[header_size];
  if (stream_read(archive, header, sizeof header) != sizeof header)
    return end_of_images;
  if (header[0] != 'B' || header[1] != 'M')
    return end_of_images;
  stream_skip(archive, -header_size);
  return entry_length(to_signed(load_le32(header + size_offset)),
                      to_signed(load_le32(header + size_offset + 4)));
}
