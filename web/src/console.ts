// The program's console as a terminal shows it.  The program takes the
// page's console for a UTF-8 terminal and writes what one is to show: its
// own text converted from the DOS code page, names made safe to show and
// padded by columns.  Here each line feed starts a new line, and each
// carriage return takes the writing back to the start of its line, where
// later text goes over what stands there, a character at a time.  The
// last line is kept in view, as a terminal scrolls.

/** A console in element |view|, written to with the program's bytes. */
export class ConsoleView {
  private before = ""; // the lines above the last, each ended by "\n"
  private line: string[] = []; // the last line, a character each
  private column = 0;
  private decoder = new TextDecoder(); // keeps a character cut off by a write for the next
  private pending = false;

  constructor(private view: HTMLElement) {}

  write(bytes: Uint8Array, last = false): void {
    for (const c of this.decoder.decode(bytes, { stream: !last })) {
      if (c === "\n") {
        this.before += `${this.line.join("")}\n`;
        this.line = [];
        this.column = 0;
      } else if (c === "\r") {
        this.column = 0;
      } else {
        this.line[this.column++] = c;
      }
    }
    // Shown once a frame, however many writes came.
    if (!this.pending) {
      this.pending = true;
      requestAnimationFrame(() => {
        this.pending = false;
        this.show();
      });
    }
  }

  /** Ends the output, and shows the whole text at once: it is there when the run's outcome is. */
  end(): void {
    this.write(new Uint8Array(0), true);
    this.show();
  }

  /** What the console shows, line by line. */
  text(): string {
    return this.before + this.line.join("");
  }

  private show(): void {
    this.view.textContent = this.text();
    this.view.scrollTop = this.view.scrollHeight;
  }
}
