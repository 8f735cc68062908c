// The level calibration's arithmetic: tallies from PGN games, whichever colour our engine had,
// and the weighted line through the measured points.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const { spawnSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { tally, weightedLine } = require('../levels');

function game(white, black, result) {
  return `[Event "Referee match"]\n[White "${white}"]\n[Black "${black}"]\n[Result "${result}"]\n\n1. e4 e5 ${result}\n\n`;
}

const pgn = game('Tarrow 9 UCI', 'Stockfish 15.1', '1-0') + game('Stockfish 15.1', 'Tarrow 9 UCI', '1-0') +
  game('Stockfish 15.1', 'Tarrow 9 UCI', '0-1') + game('Tarrow 9 UCI', 'Stockfish 15.1', '1/2-1/2') +
  game('Tarrow 9 UCI', 'Stockfish 15.1', '0-1') + game('Other', 'Stockfish 15.1', '1-0') +
  game('Tarrow 9 UCI', 'Stockfish 15.1', '*');

test('tally counts our results by colour and skips unfinished and foreign games', () => {
  assert.deepStrictEqual(tally(pgn, 'Tarrow', { wins: 0, draws: 0, losses: 0 }), { wins: 2, draws: 1, losses: 2 });
  // The anchor's own view: it also played the foreign engine (and beat it).
  assert.deepStrictEqual(tally(pgn, 'Stockfish', { wins: 0, draws: 0, losses: 0 }), { wins: 2, draws: 1, losses: 3 });
});

test('the weighted line goes through exact points and leans to the heavier ones', () => {
  const exact = weightedLine([{ x: 1000, y: 1200, w: 1 }, { x: 2000, y: 1700, w: 4 }, { x: 1500, y: 1450, w: 2 }]);
  assert.ok(Math.abs(exact.b - 0.5) < 1e-9 && Math.abs(exact.a - 700) < 1e-6, JSON.stringify(exact));
  // Two points off the line of the other two: the heavy one pulls the fit towards itself.
  const pulled = weightedLine([{ x: 0, y: 0, w: 1 }, { x: 1, y: 1, w: 1 }, { x: 2, y: 3, w: 100 }]);
  assert.ok(Math.abs(pulled.a + 2 * pulled.b - 3) < 0.05, JSON.stringify(pulled));
  assert.strictEqual(weightedLine([{ x: 1, y: 1, w: 1 }]), null);
});

test('the table gives the measured Elo on the anchor scale, and a bound for a whitewash', () => {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'levels-test-'));
  try {
    const even = path.join(dir, 'even.pgn');
    const lost = path.join(dir, 'lost.pgn');
    fs.writeFileSync(even, pgn);
    fs.writeFileSync(lost, game('Tarrow 9 UCI', 'Stockfish 15.1', '0-1').repeat(20));
    const r = spawnSync('node', [path.join(__dirname, '..', 'levels.js'), `1600:1700:${even}`, `2400:2400:${lost}`],
                        { encoding: 'utf8' });
    assert.strictEqual(r.status, 0, r.stderr);
    // 2.5 of 5 is an even score: measured at the anchor's 1700, 100 above the setting.
    assert.match(r.stdout, /\| 1600 \| 1700 \| 5 \| 2\/1\/2 \| 50\.0% \| 1700 \+\/- \d+ \| \+100 \|/);
    // 0 of 20: below the anchor by the rule of three's bound (3/20 of the points, -301 Elo).
    assert.match(r.stdout, /\| 2400 \| 2400 \| 20 \| 0\/0\/20 \| 0\.0% \| below 2099 \| - \|/);
  } finally {
    fs.rmSync(dir, { recursive: true, force: true });
  }
});
