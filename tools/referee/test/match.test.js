// The referee's match driver with the stand-in engine: games played at the same time, the
// SPRT stop, and the UCI log.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const { spawnSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { parseLog, gameInfo } = require('../uci_log');

const referee = path.join(__dirname, '..', 'referee.js');
const fake = (mode, arg = 3) => `node ${path.join(__dirname, 'fake_engine.js')} ${mode} ${arg}`;

function match(engine1, engine2, extra) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'referee-test-'));
  const pgn = path.join(dir, 'match.pgn');
  const r = spawnSync('node', [referee, '--engine1', engine1, '--engine2', engine2, '--tc', '2+0',
    '--openings', 'none', '--pgn', pgn, '--max-plies', '12', ...extra], { encoding: 'utf8', timeout: 90000 });
  const result = {
    status: r.status,
    out: r.stdout + r.stderr,
    pgn: fs.existsSync(pgn) ? fs.readFileSync(pgn, 'utf8') : '',
    log: fs.existsSync(pgn.replace(/pgn$/, 'log')) ? parseLog(fs.readFileSync(pgn.replace(/pgn$/, 'log'), 'utf8')) : [],
    progress: (r.stdout.match(/after \d+ games: .*/g) || []),
  };
  fs.rmSync(dir, { recursive: true, force: true });
  return result;
}

const rounds = (pgn) => [...pgn.matchAll(/\[Round "(\d+)"\]/g)].map((m) => parseInt(m[1], 10));
const wdl = (out) => {
  const m = /W\/D\/L of engine1 (\d+)\/(\d+)\/(\d+) of (\d+) games/.exec(out);
  return m ? m.slice(1).map(Number) : null;
};

test('games at the same time: each game once, in its own pair of processes, overlapping', () => {
  const r = match(fake('fine'), fake('fine'), ['--games', '6', '--concurrency', '2']);
  assert.strictEqual(r.status, 0, r.out);
  assert.deepStrictEqual(rounds(r.pgn).sort((a, b) => a - b), [1, 2, 3, 4, 5, 6], r.out);
  assert.deepStrictEqual(wdl(r.out), [0, 6, 0, 6], r.out);
  assert.strictEqual(r.progress.length, 6, r.out);
  assert.match(r.progress[5], /after 6 games: \+0 =6 -0/);
  // Two processes per engine, one per slot, each in its own working directory.
  const starts = r.log.filter((e) => e.dir === 'note' && e.text.startsWith('cwd '));
  assert.strictEqual(starts.length, 4, 'four processes started');
  assert.strictEqual(new Set(starts.map((e) => e.text)).size, 4, 'four working directories');
  const span = {};
  for (let g = 1; g <= 6; g++) {
    const info = gameInfo(r.log, g);
    assert.ok(info.proc.w && info.proc.b && info.proc.w !== info.proc.b, `game ${g} has two processes`);
    assert.notStrictEqual(info.engine.w, info.engine.b, `game ${g} is between the two engines`);
    assert.strictEqual(info.engine[g % 2 === 1 ? 'w' : 'b'], 'engine1', `engine 1 has White in odd games (game ${g})`);
    const times = r.log.filter((e) => e.game === g).map((e) => e.ms);
    span[g] = [Math.min(...times), Math.max(...times)];
  }
  assert.ok(span[2][0] < span[1][1], `games 1 and 2 overlap: ${JSON.stringify(span)}`);
});

test('games at the same time: crashes restart the slot\'s engine and are charged once each', () => {
  // The crashing engine dies at its third move in every game; each game is then lost by it.
  const r = match(fake('crash', 3), fake('fine'), ['--games', '4', '--concurrency', '2']);
  assert.strictEqual(r.status, 1, r.out);
  assert.deepStrictEqual(wdl(r.out), [0, 0, 4, 4], r.out);
  assert.match(r.out, /engine1 Fake crash: \+0 =0 -4; illegal moves 0, time losses 0, no reply 0, crashes 4,/);
  assert.match(r.out, /engine2 Fake fine: \+4 =0 -0; illegal moves 0, time losses 0, no reply 0, crashes 0,/);
  // Two processes at the start, and one more for engine 1 before each of games 3 and 4.
  const commands = r.log.filter((e) => e.dir === 'note' && e.text.startsWith('command '));
  assert.strictEqual(commands.filter((e) => e.engine === 'engine1').length, 4, r.out);
  assert.strictEqual(commands.filter((e) => e.engine === 'engine2').length, 2, r.out);
});

test('SPRT: H1 accepted as soon as the upper bound is crossed', () => {
  // Engine 2 loses two games of three by an illegal first move: W/D/L 2/1/0 per three games.
  // LLR for elo0 0, elo1 200 after 3 games 2.85 (inside), after 4 games (3/1/0) 5.43.
  const r = match(fake('fine'), fake('pattern', 'LLD'), ['--games', '40', '--sprt', '0,200,0.05,0.05']);
  assert.strictEqual(r.status, 0, r.out);
  assert.match(r.out, /SPRT: H1 accepted \(elo0 0, elo1 200, alpha 0\.05, beta 0\.05\): LLR 5\.433, bounds \[-2\.944, 2\.944\], after 4 games/);
  assert.strictEqual(r.progress.length, 4, r.out);
  assert.match(r.progress[2], /LLR 2\.85 \[-2\.94, 2\.94\]/);
  assert.deepStrictEqual(wdl(r.out), [3, 1, 0, 4]);
});

test('SPRT: H0 accepted, and inconclusive when the games run out', () => {
  // Engine 1 loses every other game: W/D/L 0/1/1 after two games, LLR -3.157.
  const h0 = match(fake('pattern', 'LD'), fake('fine'), ['--games', '40', '--sprt', '0,200,0.05,0.05']);
  assert.match(h0.out, /SPRT: H0 accepted .*: LLR -3\.157, .*after 2 games/, h0.out);
  // Only draws: no spread of results, no evidence.
  const none = match(fake('fine'), fake('fine'), ['--games', '4', '--sprt', '0,5,0.05,0.05']);
  assert.match(none.out, /SPRT: inconclusive .*: LLR 0\.000, bounds \[-2\.944, 2\.944\], 4 of at most 4 games/, none.out);
  assert.strictEqual(none.progress.length, 4);
  assert.match(none.progress[3], /LLR 0\.00/);
});

test('SPRT with games at the same time: no game begins after the decision', () => {
  const r = match(fake('fine'), fake('pattern', 'LLD'), ['--games', '40', '--sprt', '0,200,0.05,0.05', '--concurrency', '2']);
  const m = /SPRT: H1 accepted .* after (\d+) games(?: \((\d+) with the games in progress then)?/.exec(r.out);
  assert.ok(m, r.out);
  const decidedAfter = parseInt(m[1], 10);
  const played = m[2] ? parseInt(m[2], 10) : decidedAfter;
  assert.ok(played <= decidedAfter + 1, `at most one game was still running: ${r.out}`);
  assert.strictEqual(rounds(r.pgn).length, played);
  assert.strictEqual(wdl(r.out)[3], played);
});

test('the log holds the start-up options and every line of each game', () => {
  const r = match(fake('fine'), fake('fine'), ['--games', '2', '--option1', 'Hash=16', '--option1', 'Move Overhead=30']);
  assert.strictEqual(r.status, 0, r.out);
  const p1 = r.log.filter((e) => e.process === 'p1');
  const sent = p1.filter((e) => e.dir === 'send').map((e) => e.text);
  assert.deepStrictEqual(sent.slice(0, 4), ['uci', 'setoption name Hash value 16', 'setoption name Move Overhead value 30', 'isready']);
  assert.ok(p1.slice(0, 6).every((e) => e.game === null), 'the handshake is outside any game');
  // Game 1: new game, then for each of engine 1's six moves a position and a go with both clocks.
  const game1 = p1.filter((e) => e.game === 1 && e.dir === 'send').map((e) => e.text);
  assert.deepStrictEqual(game1.slice(0, 2), ['ucinewgame', 'isready']);
  const gos = game1.filter((t) => t.startsWith('go '));
  assert.strictEqual(gos.length, 6, game1.join('\n'));
  assert.ok(gos.every((t) => /^go wtime \d+ btime \d+ winc 0 binc 0$/.test(t)), gos.join('\n'));
  assert.strictEqual(gos[0], 'go wtime 2000 btime 2000 winc 0 binc 0');
  // Every bestmove was received, and each played move has its note, with the ply of the game.
  const moves = gameInfo(r.log, 1).moves;
  assert.deepStrictEqual(moves.map((m) => m.ply), [1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12]);
  const bestmoves = p1.filter((e) => e.game === 1 && e.dir === 'recv' && e.text.startsWith('bestmove'));
  assert.deepStrictEqual(bestmoves.map((e) => e.text.split(' ')[1]), moves.filter((m) => m.side === 'w').map((m) => m.move));
  assert.ok(r.log.every((e, i) => i === 0 || e.ms >= r.log[i - 1].ms), 'timestamps never go back');
  assert.ok(p1.some((e) => e.dir === 'send' && e.text === 'quit' && e.game === null), 'quit is logged');
});

test('a node budget replaces the clocks in every go and judges no time losses', () => {
  const r = match(fake('fine'), fake('fine'), ['--games', '2', '--nodes', '1500']);
  assert.strictEqual(r.status, 0, r.out);
  const goes = r.log.filter((e) => e.dir === 'send' && e.text.startsWith('go'));
  assert.ok(goes.length >= 12, `moves were asked for: ${goes.length}`);
  for (const e of goes) assert.strictEqual(e.text, 'go nodes 1500');
  assert.deepStrictEqual(wdl(r.out), [0, 2, 0, 2], r.out);
});

test('each engine can have its own node budget, but not one engine on the clock', () => {
  const r = match(fake('fine'), fake('fine'), ['--games', '2', '--nodes1', '1500', '--nodes2', '3000']);
  assert.strictEqual(r.status, 0, r.out);
  const goes = r.log.filter((e) => e.dir === 'send' && e.text.startsWith('go'));
  for (const label of ['engine1', 'engine2']) {
    const own = goes.filter((e) => e.engine === label).map((e) => e.text);
    assert.ok(own.length >= 6, `${label} was asked for moves: ${own.length}`);
    assert.deepStrictEqual([...new Set(own)], [label === 'engine1' ? 'go nodes 1500' : 'go nodes 3000'], r.out);
  }
  // A common budget fills in for the engine without its own.
  const common = match(fake('fine'), fake('fine'), ['--games', '2', '--nodes', '1500', '--nodes2', '3000']);
  assert.strictEqual(common.status, 0, common.out);
  const firstGoes = common.log.filter((e) => e.dir === 'send' && e.text.startsWith('go') && e.engine === 'engine1');
  assert.ok(firstGoes.length > 0 && firstGoes.every((e) => e.text === 'go nodes 1500'), common.out);
  const half = match(fake('fine'), fake('fine'), ['--games', '2', '--nodes1', '1500']);
  assert.strictEqual(half.status, 2, half.out);
  assert.match(half.out, /node budget is needed for both engines/);
});
