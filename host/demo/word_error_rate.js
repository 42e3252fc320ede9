'use strict';
// How good the recogniser is, the way speech recognition is usually scored: the word
// error rate, (substitutions + deletions + insertions) ÷ words of the reference, from
// the minimum edit distance between the two word sequences.

/** Lower-case words without punctuation; the apostrophes of "don't" stay. */
function words(text) {
  return text.toLowerCase().replace(/[^\p{L}\p{N}' ]+/gu, ' ').split(/\s+/).filter((w) => w !== '' && w !== "'");
}

/**
 * @param {string} reference the words said
 * @param {string} hypothesis the words recognised
 * @returns {{ errors: number, referenceWords: number, rate: number }}
 */
function wordErrorRate(reference, hypothesis) {
  const ref = words(reference);
  // Errors against no words at all have no rate.
  if (ref.length === 0) throw new RangeError('The reference must hold at least one word.');
  const hyp = words(hypothesis);
  // One row of the edit-distance table at a time.
  let previous = Array.from({ length: hyp.length + 1 }, (_, j) => j);
  for (let i = 1; i <= ref.length; i++) {
    const row = [i];
    for (let j = 1; j <= hyp.length; j++) {
      const substitution = previous[j - 1] + (ref[i - 1] === hyp[j - 1] ? 0 : 1);
      row.push(Math.min(substitution, previous[j] + 1, row[j - 1] + 1));
    }
    previous = row;
  }
  const errors = previous[hyp.length];
  return { errors, referenceWords: ref.length, rate: errors / ref.length };
}

module.exports = { wordErrorRate, words };
