#!/usr/bin/env node
// Checks the referee against the stand-in engine: every kind of fault must be caught and
// charged to the right engine, and a clean match must report none. Run with `npm test`.
'use strict';
const { spawnSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');

const referee = path.join(__dirname, '..', 'referee.js');
const fake = (mode, at = 3) => `node ${path.join(__dirname, 'fake_engine.js')} ${mode} ${at}`;
const pgn = path.join(os.tmpdir(), `referee-selftest-${process.pid}.pgn`);

function match(engine1, engine2, extra = []) {
  const r = spawnSync('node', [referee, '--engine1', engine1, '--engine2', engine2, '--games', '2',
    '--tc', '1+0', '--openings', 'none', '--pgn', pgn, '--max-plies', '30', ...extra],
    { encoding: 'utf8', timeout: 60000 });
  const line = (label) => (r.stdout.split('\n').find((l) => l.startsWith(label)) || '');
  const count = (label, what) => {
    const m = new RegExp(`${what} (\\d+)`).exec(line(label));
    return m ? parseInt(m[1], 10) : NaN;
  };
  return { status: r.status, out: r.stdout, count };
}

let failures = 0;
function expect(name, ok, out) {
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${name}`);
  if (!ok) {
    failures++;
    console.log(out);
  }
}

const cases = [
  ['illegal', 'illegal moves', 1],
  ['crash', 'crashes', 2],
  ['hang', 'no reply', 2],
  ['slow', 'time losses', 1],
  ['double', 'stray bestmove lines', 1],
];
for (const [mode, what, n] of cases) {
  const r = match(fake(mode), fake('fine', 1000));
  expect(`${mode}: engine 1 charged with ${n} ${what}`, r.count('engine1', what) === n, r.out);
  expect(`${mode}: engine 2 charged with nothing`,
    ['illegal moves', 'crashes', 'no reply', 'time losses'].every((w) => r.count('engine2', w) === 0), r.out);
  expect(`${mode}: exit status 1`, r.status === 1, r.out);
}
const clean = match(fake('fine'), fake('fine'));
expect('clean match: draws by the ply limit, exit status 0',
  clean.status === 0 && /score Fake fine 1 - 1 Fake fine \(50\.0%, Elo difference about 0\)/.test(clean.out), clean.out);
// Faults of engine 2 alone do not fail the run: it is the opponent.
const opponent = match(fake('fine'), fake('illegal', 2));
expect('opponent fault: exit status 0', opponent.status === 0 && opponent.count('engine2', 'illegal moves') === 1, opponent.out);
// Pondering: hits are charged from "ponderhit"; a ponder search that ends by itself is a fault.
const pondered = match(fake('fine'), fake('fine'), ['--ponder']);
const hits = /ponder hits (\d+)\/(\d+)/.exec(pondered.out);
expect('pondering: ponder hits, exit status 0',
  pondered.status === 0 && hits && parseInt(hits[1], 10) > 0, pondered.out);
const early = match(fake('early'), fake('fine'), ['--ponder']);
expect('early ponder reply: stray lines counted, exit status 1',
  early.status === 1 && early.count('engine1', 'stray bestmove lines') > 0, early.out);
fs.rmSync(pgn, { force: true });
fs.rmSync(pgn.replace(/pgn$/, 'log'), { force: true });
process.exit(failures ? 1 : 0);
