// Match statistics against values worked out by hand.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const stats = require('../stats');

const near = (actual, expected, tolerance, what) =>
  assert.ok(Math.abs(actual - expected) <= tolerance, `${what}: ${actual}, expected ${expected} +- ${tolerance}`);

test('score, variance, Elo and its 95% interval of W/D/L 60/20/20', () => {
  // s = (60 + 20/2) / 100 = 0.7
  // var = 0.6 (1 - 0.7)^2 + 0.2 (0.5 - 0.7)^2 + 0.2 (0 - 0.7)^2 = 0.054 + 0.008 + 0.098 = 0.16
  // Elo = -400 log10(1/0.7 - 1) = 400 log10(7/3) = 147.19
  // s +- 1.96 sqrt(0.16/100) = 0.7 +- 0.0784 = 0.6216 .. 0.7784
  // -400 log10(1/0.6216 - 1) = -400 log10(0.60875) = 86.2
  // -400 log10(1/0.7784 - 1) = -400 log10(0.28469) = 218.3; half the width 66.0
  const s = stats.summarize(60, 20, 20);
  near(s.score, 0.7, 1e-12, 'score');
  near(s.variance, 0.16, 1e-12, 'variance');
  near(s.elo, 147.19, 0.01, 'Elo');
  near(s.scoreLow, 0.6216, 1e-4, 'low score');
  near(s.scoreHigh, 0.7784, 1e-4, 'high score');
  near(s.eloLow, 86.2, 0.1, 'low Elo');
  near(s.eloHigh, 218.3, 0.1, 'high Elo');
  near(s.eloError, 66.0, 0.1, 'error bar');
});

test('the Elo curve: even score, symmetry, and the ends', () => {
  near(stats.eloFromScore(0.5), 0, 1e-12, 'even score');
  // 1/(1 + 10^(-200/400)) = 1/(1 + 0.31623) = 0.75975
  near(stats.scoreFromElo(200), 0.75975, 1e-5, 'score of +200');
  near(stats.eloFromScore(stats.scoreFromElo(-321)), -321, 1e-9, 'round trip');
  near(stats.eloFromScore(0.25), -stats.eloFromScore(0.75), 1e-9, 'symmetry');
  assert.strictEqual(stats.eloFromScore(1), Infinity);
  assert.strictEqual(stats.eloFromScore(0), -Infinity);
  // Mirrored results give mirrored intervals.
  const a = stats.summarize(30, 50, 20);
  const b = stats.summarize(20, 50, 30);
  near(a.eloLow, -b.eloHigh, 1e-9, 'mirrored low end');
  near(a.eloError, b.eloError, 1e-9, 'mirrored error bar');
});

test('a one-sided match: the score interval runs past 1, the Elo interval to infinity', () => {
  // 9 wins, 1 draw: s = 0.95, var = (9 * 0.05^2 + 0.45^2) / 10 = 0.0225, margin 1.96 * 0.0474
  // = 0.093, so the upper end 1.043 is past 1.
  const s = stats.summarize(9, 1, 0);
  near(s.score, 0.95, 1e-12, 'score');
  near(s.variance, 0.0225, 1e-12, 'variance');
  assert.strictEqual(s.eloHigh, Infinity);
  assert.ok(Number.isFinite(s.eloLow) && s.eloLow > 0 && s.eloLow < s.elo);
  // All wins: no spread at all, and the point estimate is infinite too.
  const all = stats.summarize(5, 0, 0);
  assert.strictEqual(all.elo, Infinity);
  assert.strictEqual(stats.formatElo(all.elo), '+inf');
  assert.ok(Number.isNaN(stats.summarize(0, 0, 0).score), 'no games, no score');
});

test('SPRT bounds and log-likelihood ratio', () => {
  // ln(0.05 / 0.95) = -2.9444, ln(0.95 / 0.05) = ln 19 = 2.9444
  const b = stats.sprtBounds(0.05, 0.05);
  near(b.lower, -2.9444, 1e-4, 'lower bound');
  near(b.upper, 2.9444, 1e-4, 'upper bound');
  // alpha 0.05, beta 0.1: ln(0.1 / 0.95) = -2.2513, ln(0.9 / 0.05) = 2.8904
  const c = stats.sprtBounds(0.05, 0.1);
  near(c.lower, -2.2513, 1e-4, 'lower bound, beta 0.1');
  near(c.upper, 2.8904, 1e-4, 'upper bound, beta 0.1');

  // W/D/L 300/400/200, elo0 0, elo1 5:
  // n = 900, s = (300 + 200) / 900 = 0.555556
  // var = (300 * 0.444444^2 + 400 * 0.055556^2 + 200 * 0.555556^2) / 900
  //     = (59.2593 + 1.2346 + 61.7284) / 900 = 0.135802
  // s0 = 0.5, s1 = 1 / (1 + 10^(-5/400)) = 1 / 1.971628 = 0.507195
  // LLR = 900 * (0.507195 - 0.5) * (2 * 0.555556 - 0.5 - 0.507195) / (2 * 0.135802)
  //     = 900 * 0.007195 * 0.103916 / 0.271605 = 2.4776
  near(stats.sprtLLR(300, 400, 200, 0, 5), 2.4776, 1e-3, 'LLR of 300/400/200');
  // The same share of results with twice the games doubles the evidence.
  near(stats.sprtLLR(600, 800, 400, 0, 5), 2 * stats.sprtLLR(300, 400, 200, 0, 5), 1e-9, 'LLR grows with n');
  // A score right at the midpoint of s0 and s1 favours neither hypothesis; below it, H0.
  assert.ok(Math.abs(stats.sprtLLR(100, 0, 100, -5, 5)) < 1e-12, 'midpoint');
  assert.ok(stats.sprtLLR(200, 400, 300, 0, 5) < 0, 'a losing score counts for H0');
  // No spread of results yet: no evidence either way.
  assert.strictEqual(stats.sprtLLR(7, 0, 0, 0, 5), 0);
  assert.strictEqual(stats.sprtLLR(0, 12, 0, 0, 5), 0);

  // Decisions. W/D/L 3/1/0 against elo0 0, elo1 200: s = 0.875, var = 0.046875,
  // LLR = 4 * 0.25975 * (1.75 - 1.25975) / 0.09375 = 5.43: H1.
  const h1 = stats.sprtStatus(3, 1, 0, { elo0: 0, elo1: 200, alpha: 0.05, beta: 0.05 });
  near(h1.llr, 5.433, 1e-3, 'LLR of 3/1/0');
  assert.strictEqual(h1.decision, 'H1');
  // W/D/L 0/1/1: s = 0.25, var = 0.0625, LLR = 2 * 0.25975 * (0.5 - 1.25975) / 0.125 = -3.157: H0.
  const h0 = stats.sprtStatus(0, 1, 1, { elo0: 0, elo1: 200, alpha: 0.05, beta: 0.05 });
  near(h0.llr, -3.157, 1e-3, 'LLR of 0/1/1');
  assert.strictEqual(h0.decision, 'H0');
  assert.strictEqual(stats.sprtStatus(30, 40, 30, { elo0: 0, elo1: 5, alpha: 0.05, beta: 0.05 }).decision, null);
});

test('the --sprt argument', () => {
  assert.deepStrictEqual(stats.parseSprt('0,5,0.05,0.05'), { elo0: 0, elo1: 5, alpha: 0.05, beta: 0.05 });
  assert.deepStrictEqual(stats.parseSprt('-3,2.5,0.1,0.05'), { elo0: -3, elo1: 2.5, alpha: 0.1, beta: 0.05 });
  for (const bad of ['0,5,0.05', '5,0,0.05,0.05', '0,5,0,0.05', '0,5,0.05,0.7', '0,x,0.05,0.05', ''])
    assert.strictEqual(stats.parseSprt(bad), null, `"${bad}" accepted`);
});
