// An image as the archive stores it, for its preview: the 54 bytes of a
// BMP header, then rows of exactly width x 3 bytes, blue, green and red,
// from the bottom row up (from the top down where the height is negative).
// A BMP decoder reads rows padded to a multiple of 4 bytes: where width x 3
// is none, it shows the image sheared, so every image is decoded here.

const header_size = 54;

export interface Picture {
  width: number; // of the picture, at most the size asked for
  height: number;
  rgba: Uint8ClampedArray<ArrayBuffer>;
  source_width: number; // of the image
  source_height: number;
  sheared_elsewhere: boolean; // rows that a BMP decoder reads otherwise
}

/**
 * Image entry |bytes| as a picture of at most |most| pixels each way (all
 * of its pixels where it is smaller), or null where the entry holds no
 * such image.
 */
export function picture_of(bytes: Uint8Array, most: number): Picture | null {
  if (bytes.length < header_size || bytes[0] !== 0x42 || bytes[1] !== 0x4d) return null;
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.length);
  const width = view.getInt32(18, true);
  const signed_height = view.getInt32(22, true);
  const height = Math.abs(signed_height);
  if (width <= 0 || height === 0 || header_size + width * height * 3 > bytes.length) return null;
  const scale = Math.min(1, most / Math.max(width, height));
  const w = Math.max(1, Math.round(width * scale));
  const h = Math.max(1, Math.round(height * scale));
  const rgba = new Uint8ClampedArray(w * h * 4);
  for (let y = 0; y < h; y++) {
    const row = Math.floor((y * height) / h);
    const from = header_size + (signed_height < 0 ? row : height - 1 - row) * width * 3;
    for (let x = 0; x < w; x++) {
      const at = from + Math.floor((x * width) / w) * 3;
      const to = (y * w + x) * 4;
      rgba[to] = bytes[at + 2];
      rgba[to + 1] = bytes[at + 1];
      rgba[to + 2] = bytes[at];
      rgba[to + 3] = 255;
    }
  }
  return { width: w, height: h, rgba, source_width: width, source_height: height, sheared_elsewhere: (width * 3) % 4 !== 0 };
}
