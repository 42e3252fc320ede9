'use strict';
// Framing a helper's output: lines split across chunks, many lines in one chunk,
// characters split between chunks, and the bound on an unfinished line.
const { test } = require('node:test');
const assert = require('node:assert/strict');
const { LineSplitter, LineTooLongError } = require('../lib/line_splitter');

// Feeds the chunks in order and returns every line completed.
function split(chunks, limit = 1024) {
  const splitter = new LineSplitter(limit);
  const lines = [];
  for (const chunk of chunks) lines.push(...splitter.push(Buffer.from(chunk)));
  return { lines, partial: splitter.hasPartialLine };
}

test('lines come out whole and in order however the chunks fall', () => {
  const text = '{"type":"ready"}\n{"type":"segment","text":"héllo 世界"}\n{"type":"stopped"}\n';
  const expected = ['{"type":"ready"}', '{"type":"segment","text":"héllo 世界"}', '{"type":"stopped"}'];
  const bytes = Buffer.from(text);
  const cases = [
    ['one chunk with every line', [bytes]],
    ['one byte at a time, splitting the multi-byte characters', [...bytes].map((b) => [b])],
    ['cut inside the first line and after a line feed', [bytes.subarray(0, 5), bytes.subarray(5, 17), bytes.subarray(17)]],
    ['cut right before each line feed', [bytes.subarray(0, 16), bytes.subarray(16, bytes.indexOf(10, 17)), bytes.subarray(bytes.indexOf(10, 17))]],
  ];
  for (const [name, chunks] of cases) {
    const { lines, partial } = split(chunks);
    assert.deepEqual(lines, expected, name);
    assert.equal(partial, false, name);
  }
});

test('an unfinished last line stays pending and is reported as partial', () => {
  const { lines, partial } = split(['{"type":"ready"}\n{"type":"seg']);
  assert.deepEqual(lines, ['{"type":"ready"}']);
  assert.equal(partial, true);
});

test('an empty line is a line (the protocol layer rejects it)', () => {
  assert.deepEqual(split(['a\n\nb\n']).lines, ['a', '', 'b']);
});

test('a line may reach the limit; one byte more fails before its line feed arrives', () => {
  assert.deepEqual(split(['x'.repeat(8) + '\n'], 8).lines, ['x'.repeat(8)]);
  const splitter = new LineSplitter(8);
  splitter.push(Buffer.from('x'.repeat(5)));
  assert.throws(() => splitter.push(Buffer.from('x'.repeat(4))), LineTooLongError);
});
