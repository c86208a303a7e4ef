// The program's console text as a console shows it: each line feed a new
// line, and each carriage return taking the writing back to the start of
// its line, where later text goes over what stands there.  The tool's own
// text is in code page 850; the names in it are the file names' UTF-8,
// which no byte of the tool's text begins (its é is 0x82): a valid UTF-8
// sequence is shown as its character, any other byte as code page 850's.

// The characters of bytes 0x80 to 0xFF in code page 850, which browsers
// cannot decode by name.
const upper_half =
  "ÇüéâäàåçêëèïîìÄÅÉæÆôöòûùÿÖÜø£Ø×ƒ" +
  "áíóúñÑªº¿®¬½¼¡«»\u2591\u2592\u2593\u2502\u2524ÁÂÀ©\u2563\u2551\u2557\u255d¢¥\u2510" +
  "\u2514\u2534\u252c\u251c\u2500\u253cãÃ\u255a\u2554\u2569\u2566\u2560\u2550\u256c¤ðÐÊËÈıÍÎÏ\u2518\u250c\u2588\u2584¦Ì\u2580" +
  "ÓßÔÒõÕµþÞÚÛÙýÝ¯´\u00ad±\u2017¾¶§÷¸°¨·¹³²\u25a0\u00a0";

const utf8 = new TextDecoder("utf-8", { fatal: true });

// The length of the valid UTF-8 sequence that starts at bytes[at]: 0 for
// none, -1 when the bytes end before it can be told and more may come.
function utf8_length(bytes: Uint8Array, at: number, last: boolean): number {
  const lead = bytes[at];
  const length = lead >= 0xf0 ? 4 : lead >= 0xe0 ? 3 : lead >= 0xc2 ? 2 : 0;
  if (length === 0 || lead > 0xf4) return 0;
  if (at + length > bytes.length) return last ? 0 : -1;
  try {
    utf8.decode(bytes.subarray(at, at + length));
    return length;
  } catch {
    return 0;
  }
}

/** A console in element |view|, written to with the program's bytes. */
export class ConsoleView {
  private lines: string[] = [""];
  private column = 0;
  private carry = new Uint8Array(0); // a character cut off by the last write
  private pending = false;
  private ended = false;

  constructor(private view: HTMLElement) {}

  write(chunk: Uint8Array): void {
    const bytes = new Uint8Array(this.carry.length + chunk.length);
    bytes.set(this.carry);
    bytes.set(chunk, this.carry.length);
    let line = this.lines[this.lines.length - 1];
    let i = 0;
    for (; i < bytes.length; i++) {
      const byte = bytes[i];
      if (byte === 0x0a) {
        this.lines[this.lines.length - 1] = line;
        this.lines.push((line = ""));
        this.column = 0;
        continue;
      }
      if (byte === 0x0d) {
        this.column = 0;
        continue;
      }
      let c = String.fromCharCode(byte);
      if (byte >= 0x80) {
        const length = utf8_length(bytes, i, this.ended);
        if (length < 0) break; // the rest comes with the next write
        c = length > 0 ? utf8.decode(bytes.subarray(i, i + length)) : upper_half[byte - 0x80];
        i += Math.max(length, 1) - 1;
      }
      line = line.slice(0, this.column) + c + line.slice(this.column + 1);
      this.column++;
    }
    this.carry = bytes.slice(i);
    this.lines[this.lines.length - 1] = line;
    // Shown once a frame, however many writes came.
    if (!this.pending) {
      this.pending = true;
      requestAnimationFrame(() => {
        this.pending = false;
        this.view.textContent = this.text();
      });
    }
  }

  /**
   * Shows what the last write left cut off, the output being over, and
   * the whole text at once: it is there when the run's status is.
   */
  end(): void {
    this.ended = true;
    this.write(new Uint8Array(0));
    this.view.textContent = this.text();
  }

  /** What the console shows, line by line. */
  text(): string {
    return this.lines.join("\n");
  }
}
