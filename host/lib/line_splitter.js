'use strict';
// Cuts a helper's standard output into lines. Chunks arrive as the pipe hands them
// over: a line may be split across any number of chunks and one chunk may hold many
// lines, so the bytes of an unfinished line are kept until its line feed arrives.
// Lines are decoded as UTF-8 only once they are whole, so a character split between
// two chunks is never mangled.

const LINE_FEED = 0x0a;

class LineTooLongError extends Error {
  constructor(limit) {
    super(`a line grew past ${limit} bytes`);
    this.name = 'LineTooLongError';
    this.limit = limit;
  }
}

class LineSplitter {
  /** @param {number} maximumLineBytes longest line accepted, without its line feed */
  constructor(maximumLineBytes) {
    this.maximumLineBytes = maximumLineBytes;
    /** @type {Buffer[]} */
    this.pending = [];
    this.pendingBytes = 0;
  }

  /**
   * Takes one chunk and returns the lines it completed, in order, without their line
   * feeds. Throws LineTooLongError as soon as an unfinished line passes the limit, so
   * a helper that never ends its line cannot make the host buffer without bound.
   * @param {Buffer} chunk
   * @returns {string[]}
   */
  push(chunk) {
    const lines = [];
    let start = 0;
    for (;;) {
      const end = chunk.indexOf(LINE_FEED, start);
      if (end < 0) break;
      this.#keep(chunk.subarray(start, end));
      lines.push(this.pending.length === 1 ? this.pending[0].toString('utf8') : Buffer.concat(this.pending).toString('utf8'));
      this.pending = [];
      this.pendingBytes = 0;
      start = end + 1;
    }
    if (start < chunk.length) this.#keep(chunk.subarray(start));
    return lines;
  }

  /** Bytes received after the last line feed (an unfinished last line). */
  get hasPartialLine() {
    return this.pendingBytes > 0;
  }

  #keep(bytes) {
    if (this.pendingBytes + bytes.length > this.maximumLineBytes) throw new LineTooLongError(this.maximumLineBytes);
    this.pendingBytes += bytes.length;
    // Copied: the chunk's memory belongs to the stream and may be reused.
    this.pending.push(Buffer.from(bytes));
  }
}

module.exports = { LineSplitter, LineTooLongError };
