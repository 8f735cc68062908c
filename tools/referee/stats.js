// Match statistics: score, Elo difference with its error bar, and the sequential probability
// ratio test.
//
// A game scores 1, 1/2 or 0 for engine 1. Games are taken as independent draws from one
// trinomial distribution (win, draw, loss), whose frequencies we estimate from the match. The
// Elo difference is the logistic one: an engine that is D points stronger expects the score
// 1 / (1 + 10^(-D/400)).
'use strict';

const Z95 = 1.959964;  // two-sided 95% quantile of the normal distribution

function scoreFromElo(elo) {
  return 1 / (1 + Math.pow(10, -elo / 400));
}

// The inverse: -400 log10(1/s - 1); +-Infinity for a score of 1 or 0.
function eloFromScore(s) {
  if (s >= 1) return Infinity;
  if (s <= 0) return -Infinity;
  return -400 * Math.log10(1 / s - 1);
}

// Mean score per game and its variance, from the win/draw/loss counts.
function scoreAndVariance(wins, draws, losses) {
  const n = wins + draws + losses;
  if (n === 0) return { n, score: NaN, variance: NaN };
  const score = (wins + draws / 2) / n;
  const variance = (wins * (1 - score) ** 2 + draws * (0.5 - score) ** 2 + losses * score ** 2) / n;
  return { n, score, variance };
}

// Score, Elo and the 95% interval of both. The interval of the mean score is
// s +- 1.96 sigma / sqrt(n) (the mean of n games is close to normal), and its ends are mapped
// through the same score-to-Elo curve; the curve is steep near 0 and 1, so the Elo interval is
// lopsided, and `eloError` is half its width. An end beyond 0 or 1 maps to -+Infinity.
function summarize(wins, draws, losses) {
  const { n, score, variance } = scoreAndVariance(wins, draws, losses);
  if (n === 0) return { n, wins, draws, losses, score, variance, elo: NaN, eloLow: NaN, eloHigh: NaN, eloError: NaN };
  const margin = Z95 * Math.sqrt(variance / n);
  const scoreLow = score - margin;
  const scoreHigh = score + margin;
  const eloLow = eloFromScore(scoreLow);
  const eloHigh = eloFromScore(scoreHigh);
  return {
    n, wins, draws, losses, score, variance,
    scoreLow, scoreHigh,
    elo: eloFromScore(score),
    eloLow, eloHigh,
    eloError: (eloHigh - eloLow) / 2,
  };
}

// Sequential probability ratio test of H0: Elo difference = elo0 against H1: = elo1.
//
// The mean score of n games is close to normal with mean mu and variance var/n, var the per-game
// variance. Under H0 mu = s0 = scoreFromElo(elo0), under H1 mu = s1 = scoreFromElo(elo1); the
// variance is not known, and the generalized test puts in its estimate from the W/D/L counts
// for both hypotheses. The log-likelihood ratio of the n game scores x_i is then
//
//   LLR = sum_i [ (x_i - s0)^2 - (x_i - s1)^2 ] / (2 var)
//       = sum_i [ 2 x_i (s1 - s0) - (s1^2 - s0^2) ] / (2 var)
//       = (s1 - s0) * sum_i [ 2 x_i - s0 - s1 ] / (2 var)
//       = n (s1 - s0) (2 s - s0 - s1) / (2 var),          s the mean score.
//
// It grows when s lies above the midpoint of s0 and s1 and falls below it. Wald's bounds for
// error rates alpha (accepting H1 when H0 holds) and beta (accepting H0 when H1 holds) are
// ln(beta / (1 - alpha)) below and ln((1 - beta) / alpha) above. While every game so far had the
// same result the variance estimate is 0 and the ratio undefined; it counts as 0 (no evidence).
function sprtBounds(alpha, beta) {
  return { lower: Math.log(beta / (1 - alpha)), upper: Math.log((1 - beta) / alpha) };
}

function sprtLLR(wins, draws, losses, elo0, elo1) {
  const { n, score, variance } = scoreAndVariance(wins, draws, losses);
  if (n === 0 || !(variance > 0)) return 0;
  const s0 = scoreFromElo(elo0);
  const s1 = scoreFromElo(elo1);
  return (n * (s1 - s0) * (2 * score - s0 - s1)) / (2 * variance);
}

// { llr, lower, upper, decision: 'H1' | 'H0' | null }
function sprtStatus(wins, draws, losses, sprt) {
  const llr = sprtLLR(wins, draws, losses, sprt.elo0, sprt.elo1);
  const { lower, upper } = sprtBounds(sprt.alpha, sprt.beta);
  const decision = llr >= upper ? 'H1' : llr <= lower ? 'H0' : null;
  return { llr, lower, upper, decision };
}

// "elo0,elo1,alpha,beta" -> { elo0, elo1, alpha, beta }, or null when it is not valid.
function parseSprt(text) {
  const parts = String(text).split(',').map(Number);
  if (parts.length !== 4 || parts.some((x) => !Number.isFinite(x))) return null;
  const [elo0, elo1, alpha, beta] = parts;
  if (!(elo1 > elo0) || !(alpha > 0 && alpha < 0.5) || !(beta > 0 && beta < 0.5)) return null;
  return { elo0, elo1, alpha, beta };
}

// "+147.2", "-inf", "0.0"
function formatElo(elo) {
  if (elo === Infinity) return '+inf';
  if (elo === -Infinity) return '-inf';
  if (Number.isNaN(elo)) return 'n/a';
  return (elo > 0 ? '+' : '') + elo.toFixed(1);
}

module.exports = {
  scoreFromElo, eloFromScore, scoreAndVariance, summarize,
  sprtBounds, sprtLLR, sprtStatus, parseSprt, formatElo,
};
