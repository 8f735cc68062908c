// The blunder finder: judging moves from oracle scores, replaying logged games into fresh
// processes, and the whole tool on a small match of stand-in engines with a scripted oracle.
'use strict';
const test = require('node:test');
const assert = require('node:assert');
const { spawnSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { Chess } = require('chess.js');
const { judgeMoves, scoreFromInfo, terminalScore, readPgnGames, replay, freshSteps, nodeSteps, engineSide } =
  require('../blunders');
const { parseLog, replaySteps, gameInfo } = require('../uci_log');

const here = __dirname;
const referee = path.join(here, '..', 'referee.js');
const blunders = path.join(here, '..', 'blunders.js');
const fake = (mode, arg = 3) => `node ${path.join(here, 'fake_engine.js')} ${mode} ${arg}`;
const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'blunders-test-'));
test.after(() => fs.rmSync(dir, { recursive: true, force: true }));

function runReferee(name, extra) {
  const pgn = path.join(dir, `${name}.pgn`);
  const r = spawnSync('node', [referee, '--pgn', pgn, '--tc', '5+0', ...extra], { encoding: 'utf8', timeout: 60000 });
  assert.ok(fs.existsSync(pgn), r.stdout + r.stderr);
  return { pgn, log: pgn.replace(/pgn$/, 'log'), out: r.stdout };
}

// Two games of an engine whose moves depend on how many searches its process has made (the
// first 12 searches play the first legal move, later ones the last) against one that always
// plays the first legal move. One opening line of two plies; 14 plies after it.
const openings = path.join(dir, 'openings.txt');
fs.writeFileSync(openings, 'g1f3 g8f6\n');
const stateful = runReferee('stateful', ['--engine1', fake('stateful', 12), '--engine2', fake('fine'),
  '--games', '2', '--openings', openings, '--max-plies', '20']);

test('judging moves: the opening, the ply limit, lost positions, the threshold', () => {
  const moves = Array.from({ length: 10 }, (_, i) => ({ ply: i + 1, side: i % 2 ? 'b' : 'w' }));
  // evals[p]: after p moves, from the view of the side to move then.
  const evals = [0, 0, -200, 30, 120, -700, -300, 100, -249, 0, 0];
  const judged = judgeMoves(moves, evals, { bookPlies: 2, threshold: 150, lost: 500, maxPly: 9 });
  const byPly = Object.fromEntries(judged.map((j) => [j.ply, j]));
  assert.deepStrictEqual(Object.keys(byPly).map(Number), [3, 4, 5, 7, 8, 9], 'plies judged');
  // Ply 3: 0 before, +200 for the mover after: a gain. Ply 4: -30 before, -120 after.
  assert.deepStrictEqual([byPly[3].before, byPly[3].after, byPly[3].drop, byPly[3].blunder], [-200, -30, -170, false]);
  assert.deepStrictEqual([byPly[4].before, byPly[4].after, byPly[4].drop, byPly[4].blunder], [30, -120, 150, true]);
  // Ply 5: 120 before, 700 after. Ply 6 is not judged: the mover stood at -700.
  assert.strictEqual(byPly[5].blunder, false);
  // Ply 8: 100 before, 249 after; ply 9: -249 before, 0 after; ply 10 is past the limit.
  assert.deepStrictEqual([byPly[9].before, byPly[9].after, byPly[9].blunder], [-249, 0, false]);
  // One centipawn short of the threshold is not flagged.
  const short = judgeMoves([{ ply: 1, side: 'w' }], [40, 109], { threshold: 150 });
  assert.deepStrictEqual([short[0].drop, short[0].blunder], [149, false]);
  // Positions the oracle did not search leave their moves unjudged.
  assert.strictEqual(judgeMoves([{ ply: 1, side: 'w' }, { ply: 2, side: 'b' }], [0, 0]).length, 1);
});

test('oracle scores: the last exact report, mates as 10000, bounds only as a last resort', () => {
  assert.strictEqual(scoreFromInfo(['info depth 10 score cp 30', 'info depth 11 score cp -12 nodes 5']), -12);
  assert.strictEqual(scoreFromInfo(['info depth 11 score cp 40', 'info depth 12 score cp 90 lowerbound']), 40);
  assert.strictEqual(scoreFromInfo(['info depth 12 score cp 90 upperbound']), 90);
  assert.strictEqual(scoreFromInfo(['info depth 20 score mate 3 pv a1a2']), 10000);
  assert.strictEqual(scoreFromInfo(['info depth 20 score mate -1']), -10000);
  assert.strictEqual(scoreFromInfo(['info depth 1 nodes 20', 'info string hello']), null);
  // Positions where the game is over need no search.
  assert.strictEqual(terminalScore(new Chess('7k/6Q1/6K1/8/8/8/8/8 b - - 0 1')), -10000);
  assert.strictEqual(terminalScore(new Chess('7k/5Q2/6K1/8/8/8/8/8 b - - 0 1')), 0);
  assert.strictEqual(terminalScore(new Chess()), null);
});

test('the engine under test: by name or by the referee slot', () => {
  const games = readPgnGames(fs.readFileSync(stateful.pgn, 'utf8'));
  const entries = parseLog(fs.readFileSync(stateful.log, 'utf8'));
  const [g1, g2] = games;
  assert.deepStrictEqual([g1.round, g2.round, g1.bookPlies, g1.moves.length], [1, 2, 2, 22]);
  assert.strictEqual(engineSide(g1, null, 'STATEFUL'), 'w');
  assert.strictEqual(engineSide(g2, null, 'stateful'), 'b');
  assert.strictEqual(engineSide(g2, gameInfo(entries, 2), 'engine2'), 'w');
  assert.match(engineSide(g1, null, 'Fake'), /both players/);
  assert.match(engineSide(g1, null, 'Tarrow'), /no player/);
});

test('a logged game replays into a fresh process move for move, given the whole sequence', async () => {
  const entries = parseLog(fs.readFileSync(stateful.log, 'utf8'));
  const games = readPgnGames(fs.readFileSync(stateful.pgn, 'utf8'));
  const proc = gameInfo(entries, 2).proc.b;
  assert.strictEqual(gameInfo(entries, 1).proc.w, proc, 'one process played both games');
  // Everything the process was sent, both games: every search gives the move it gave.
  const steps = replaySteps(entries, proc, 2, null, 'process');
  const r = await replay(fake('stateful', 12), steps);
  assert.strictEqual(r.error, null);
  const original = steps.filter((s) => s.await === 'bestmove').map((s) => s.reply.split(' ')[1]);
  const played = [...games[0].moves.filter((m) => m.side === 'w'), ...games[1].moves.filter((m) => m.side === 'b')]
    .filter((m) => m.ply > 2).map((m) => m.lan);
  assert.deepStrictEqual(original, played, 'the log has each move the engine played');
  assert.deepStrictEqual(r.moves, played, 'the replay plays them all again');
  // Without game 1 the counts start afresh, and game 2 goes differently from its third search.
  const gameOnly = await replay(fake('stateful', 12), replaySteps(entries, proc, 2, null, 'game'));
  const second = played.slice(10);
  assert.deepStrictEqual(gameOnly.moves.slice(0, 2), second.slice(0, 2));
  assert.notDeepStrictEqual(gameOnly.moves, second);
});

test('a pondering game replays too: ponder searches, ponderhit and stop where they were', async () => {
  const pondered = runReferee('ponder', ['--engine1', fake('stateful', 8), '--engine2', fake('fine'),
    '--games', '1', '--openings', 'none', '--max-plies', '16', '--ponder']);
  assert.match(pondered.out, /ponder hits [1-9]\d*\//, pondered.out);
  const entries = parseLog(fs.readFileSync(pondered.log, 'utf8'));
  const info = gameInfo(entries, 1);
  const steps = replaySteps(entries, info.proc.w, 1, null, 'game');
  assert.ok(steps.some((s) => s.send === 'ponderhit' && s.await === 'bestmove'), 'a ponder hit is replayed');
  assert.ok(steps.some((s) => s.send.startsWith('go ponder') && s.await === null), 'ponder searches are not awaited');
  const r = await replay(fake('stateful', 8), steps);
  const answers = steps.filter((s) => s.await === 'bestmove').map((s) => s.reply.split(' ')[1]);
  assert.strictEqual(r.error, null);
  assert.deepStrictEqual(r.moves, answers);
  // The bare-position replay of a move that came by ponderhit asks with a normal "go".
  const hitPly = entries.findIndex((e) => e.game === 1 && e.process === info.proc.w && e.text === 'ponderhit');
  const note = entries.slice(hitPly).find((e) => e.dir === 'note' && e.text.startsWith('move '));
  const fresh = freshSteps(replaySteps(entries, info.proc.w, 1, parseInt(note.text.split(' ')[1], 10), 'game'));
  assert.deepStrictEqual(fresh.slice(0, 4).map((s) => s.send), ['uci', 'isready', 'ucinewgame', 'isready']);
  assert.match(fresh[fresh.length - 1].send, /^go wtime \d+ btime \d+ winc 0 binc 0$/);
  assert.match(fresh[fresh.length - 2].send, /^position startpos moves /);
  // By nodes: every clocked search asks for the node count the engine reported at its end; the
  // ponder searches and everything else stay as they were.
  const byNodes = nodeSteps(steps);
  steps.forEach((s, i) => {
    if (/^go wtime/.test(s.send)) assert.strictEqual(byNodes[i].send, 'go nodes 1', s.send);
    else assert.strictEqual(byNodes[i].send, s.send);
  });
  assert.ok(byNodes.some((s) => s.send === 'go nodes 1'));
});

test('the blunder finder on a scripted oracle: flags, skips, replays and per-game counts', () => {
  const games = readPgnGames(fs.readFileSync(stateful.pgn, 'utf8'));
  const key = (g, p) => `startpos moves ${games[g].moves.slice(0, p).map((m) => m.lan).join(' ')}`;
  // Scores after p moves, for the side to move then (default 0).
  // The games part at ply 8 (the 13th search of the engine under test), so the positions of
  // game 1 are scripted from there on.
  assert.strictEqual(key(0, 7), key(1, 7));
  assert.notStrictEqual(key(0, 8), key(1, 8));
  const scores = {
    // Game 1, ply 10 (Black, the opponent): White mates next; ply 11 keeps the mate, so it is
    // no drop for White, and at ply 12 Black is lost and not judged.
    [key(0, 10)]: 'mate 2', [key(0, 11)]: 'mate -2',
    // Game 1, ply 14: 150 lost, flagged; White's ply 15 keeps it.
    [key(0, 14)]: 150, [key(0, 15)]: -150,
    // Game 2, ply 10 (Black, the engine under test, its 14th search): 400 lost; ply 12 wins
    // it back; ply 14 loses 149, under the threshold.
    [key(1, 10)]: 400, [key(1, 11)]: -400, [key(1, 14)]: 149, [key(1, 15)]: -149,
    // Game 2, ply 18: past the ply limit.
    [key(1, 18)]: 900,
  };
  const script = path.join(dir, 'oracle.json');
  const asked = path.join(dir, 'asked.txt');
  fs.writeFileSync(script, JSON.stringify({ default: 0, scores }));
  const run = (extra) => {
    fs.rmSync(asked, { force: true });
    const r = spawnSync('node', [blunders, '--pgn', stateful.pgn, '--engine', 'stateful', '--max-ply', '16',
      '--oracle', `node ${path.join(here, 'fake_oracle.js')} ${script} ${asked}`, '--oracle-nodes', '5000',
      '--oracle-concurrency', '2', ...extra], { encoding: 'utf8', timeout: 60000 });
    assert.strictEqual(r.status, 0, r.stdout + r.stderr);
    return r.stdout;
  };
  const out = run(['--fresh']);
  const rows = out.split('\n').filter((l) => /^\d+\s+\d+\s+Fake/.test(l)).map((l) => l.split(/\s{2,}/));
  assert.deepStrictEqual(rows, [
    ['1', '10', 'Fake fine', rows[0] && rows[0][3], '0', '-mate', '10000', '+0.04/4', '-', '-', '-'],
    ['1', '14', 'Fake fine', rows[1] && rows[1][3], '0', '-150', '150', '+0.06/6', '-', '-', '-'],
    ['2', '10', 'Fake stateful', rows[2] && rows[2][3], '0', '-400', '400', '+0.14/4', rows[2] && rows[2][8], rows[2] && rows[2][9], '-'],
  ], out);
  // Only the whole process history brings back the engine's move; a replay of game 2 alone
  // and a search of the bare position play the first legal move instead.
  const firstLegal = new Chess(games[1].moves[9].before).moves({ verbose: true })[0].lan;
  assert.notStrictEqual(firstLegal, games[1].moves[9].lan);
  const moveText = (g, p) => `${games[g].moves[p - 1].san} ${games[g].moves[p - 1].lan}`;
  assert.deepStrictEqual([rows[0][3], rows[1][3], rows[2][3]], [moveText(0, 10), moveText(0, 14), moveText(1, 10)]);
  assert.strictEqual(rows[2][8], `no (${firstLegal})`);
  assert.strictEqual(rows[2][9], `no (${firstLegal})`);
  assert.match(out, /game 1: Fake stateful 0 of 7 moves, Fake fine 2 of 6 moves/);
  assert.match(out, /game 2: Fake stateful 1 of 7 moves, Fake fine 0 of 7 moves/);
  assert.match(out, /blunders per game: engine 0\.50 \(1 in 2 games\), opponent 1\.00 \(2\)/);
  assert.match(out, /reproduced by the game's command sequence: 0 of 1; from the bare position: 0 of 1/);
  // The oracle searched the positions from the end of the opening to the ply limit, and only
  // those that were not over.
  const plies = fs.readFileSync(asked, 'utf8').trim().split('\n').map((l) => l.split('\t')[0].split(' ').length - 2);
  assert.deepStrictEqual([Math.min(...plies), Math.max(...plies), plies.length], [2, 16, 30]);
  assert.ok(fs.readFileSync(asked, 'utf8').includes('\tgo nodes 5000'));

  const whole = run(['--replay-scope', 'process', '--replay-nodes', '--repeat', '2']);
  assert.match(whole, /^2\s+10\s+Fake stateful .*\s+yes\s+-\s+yes$/m, whole);
  assert.match(whole, /reproduced by the game's command sequence: 1 of 1; by the game's node counts: 1 of 1$/m);
});
