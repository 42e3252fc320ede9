'use strict';
const test = require('node:test');
const assert = require('node:assert/strict');
const { wordErrorRate, words } = require('../demo/word_error_rate');

test('word error rate counts substitutions, deletions and insertions against the reference', () => {
  const cases = [
    // [reference, hypothesis, errors]
    ['he was not an ill disposed young man', 'he was not an ill disposed young man', 0],
    ['he was not an ill disposed young man', 'he was not a ill disposed young man', 1],
    ['he was not an ill disposed young man', 'he was an ill disposed man', 2],
    ['ten of clubs', 'ten of the clubs', 1],
    ['ten of clubs', '', 3],
    ['seven of hearts', 'hearts of seven', 2],
    ['Ten, of CLUBS.', 'ten of clubs', 0],
  ];
  for (const [reference, hypothesis, errors] of cases) {
    const result = wordErrorRate(reference, hypothesis);
    assert.equal(result.errors, errors, `${reference} / ${hypothesis}`);
    assert.equal(result.rate, errors / words(reference).length);
  }
});

test('a reference without words has no rate', () => {
  assert.throws(() => wordErrorRate(' ', 'anything'), RangeError);
});

test('words keep apostrophes inside words and drop punctuation', () => {
  assert.deepEqual(words("Don't stop -- it's 5 o'clock!"), ["don't", 'stop', "it's", '5', "o'clock"]);
});
