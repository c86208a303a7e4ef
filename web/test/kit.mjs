// What the page's tests share.

/** The UTF-8 bytes of |text|. */
export const bytes = (text) => new TextEncoder().encode(text);

/**
 * An image entry of |width| x |height| as archives store it: a BMP header
 * of 54 bytes, then pixel byte i (from 0) of value i + 1, then |extra|
 * bytes.
 */
export function entry(width, height, extra = 2) {
  const out = new Uint8Array(54 + width * Math.abs(height) * 3 + extra);
  out.set(bytes("BM"));
  new DataView(out.buffer).setInt32(18, width, true);
  new DataView(out.buffer).setInt32(22, height, true);
  for (let i = 54; i < out.length - extra; i++) out[i] = i - 53;
  return out;
}
