#!/usr/bin/env node
// Finds the big mistakes of a referee match: every move of the engine under test and of its
// opponent is judged by a deeper oracle search, and a move after which the mover's position is
// worth much less than before it is flagged. Each flagged move of the engine under test is
// then played again: the exact command sequence that the referee sent to that engine process
// in that game (from the match's UCI log) goes into a fresh process of the engine, earlier
// searches of the game included, and we see whether it chooses the same move. A blunder that
// reproduces only that way comes from state that one search leaves to the next (hash tables,
// history, time management); one that also reproduces from the bare position is a plain
// search or evaluation fault. See README.md.
'use strict';

const fs = require('fs');
const os = require('os');
const path = require('path');
const { Chess } = require('chess.js');
const { UciProcess } = require('./uci_process');
const { parseLog, replaySteps, gameInfo, processStart } = require('./uci_log');

const MATE = 10000;  // a mate score, whatever its distance, counts as this many centipawns

// ---------------------------------------------------------------------------------------------
// Command line

function usage(message) {
  if (message) console.error(`blunders: ${message}`);
  console.error(
    'usage: blunders.js --pgn FILE [--log FILE] [--engine NAME|engine1|engine2]\n' +
      '                   [--oracle CMD] [--oracle-nodes N] [--oracle-option NAME=VALUE]...\n' +
      '                   [--oracle-concurrency N] [--threshold CP] [--lost CP] [--max-ply N]\n' +
      '                   [--replay-engine CMD | --no-replay] [--replay-scope game|process]\n' +
      '                   [--fresh] [--replay-nodes] [--repeat K] [--games N,N,...]');
  process.exit(2);
}

function parseArgs(argv) {
  const args = {
    pgn: null, log: null, engine: 'Tarrow',
    oracle: '/usr/games/stockfish', oracleNodes: 200000, oracleOptions: [], oracleConcurrency: 1,
    threshold: 150, lost: 500, maxPly: 80,
    replayEngine: null, replay: true, replayScope: 'game', fresh: false, games: null,
    replayNodes: false, repeat: 1,
  };
  for (let i = 2; i < argv.length; i++) {
    const a = argv[i];
    const value = () => {
      if (i + 1 >= argv.length) usage(`${a} needs a value`);
      return argv[++i];
    };
    const number = () => {
      const v = Number(value());
      if (!Number.isFinite(v)) usage(`${a} needs a number`);
      return v;
    };
    switch (a) {
      case '--pgn': args.pgn = value(); break;
      case '--log': args.log = value(); break;
      case '--engine': args.engine = value(); break;
      case '--oracle': args.oracle = value(); break;
      case '--oracle-nodes': args.oracleNodes = number(); break;
      case '--oracle-option': args.oracleOptions.push(value()); break;
      case '--oracle-concurrency': args.oracleConcurrency = number(); break;
      case '--threshold': args.threshold = number(); break;
      case '--lost': args.lost = number(); break;
      case '--max-ply': args.maxPly = number(); break;
      case '--replay-engine': args.replayEngine = value(); break;
      case '--no-replay': args.replay = false; break;
      case '--replay-scope': args.replayScope = value(); break;
      case '--fresh': args.fresh = true; break;
      case '--replay-nodes': args.replayNodes = true; break;
      case '--repeat': args.repeat = number(); break;
      case '--games': args.games = value().split(',').map((g) => parseInt(g, 10)); break;
      case '--help': case '-h': usage();
      default: usage(`unknown argument ${a}`);
    }
  }
  if (!args.pgn) usage('--pgn is needed');
  if (args.log === null) args.log = /\.pgn$/i.test(args.pgn) ? args.pgn.replace(/\.pgn$/i, '.log') : `${args.pgn}.log`;
  if (!['game', 'process'].includes(args.replayScope)) usage('--replay-scope is game or process');
  if (!(args.oracleConcurrency >= 1)) usage('--oracle-concurrency must be 1 or more');
  if (!(args.oracleNodes >= 1)) usage('--oracle-nodes must be 1 or more');
  if (!(args.repeat >= 1)) usage('--repeat must be 1 or more');
  for (const o of args.oracleOptions) if (!o.includes('=')) usage(`option ${o} is not NAME=VALUE`);
  return args;
}

// ---------------------------------------------------------------------------------------------
// Games from the PGN file

// Splits a PGN file into games and reads each with chess.js. Tag values are read here and
// handed on without double quotes (older referee files quote the illegal move in the
// Termination tag, which chess.js cannot read).
function readPgnGames(text) {
  const games = [];
  const chunks = text.split(/\r?\n(?=\[Event )/).map((c) => c.trim()).filter(Boolean);
  for (const chunk of chunks) {
    const headers = {};
    const moveText = [];
    for (const line of chunk.split(/\r?\n/)) {
      const tag = /^\[(\w+)\s+"(.*)"\]\s*$/.exec(line);
      if (tag) headers[tag[1]] = tag[2];
      else moveText.push(line);
    }
    const clean = Object.entries(headers).map(([k, v]) => `[${k} "${v.replace(/["\\]/g, "'")}"]`).join('\n');
    const board = new Chess();
    try {
      board.loadPgn(`${clean}\n\n${moveText.join('\n')}`);
    } catch (err) {
      games.push({ headers, error: err.message });
      continue;
    }
    const comments = new Map(board.getComments().map((c) => [c.fen, c.comment]));
    const history = board.history({ verbose: true });
    // The opening's last position carries the comment "opening"; the engines' moves follow.
    let bookPlies = 0;
    history.forEach((m, i) => {
      if (comments.get(m.after) === 'opening') bookPlies = i + 1;
    });
    games.push({
      headers,
      round: parseInt(headers.Round, 10),
      startFen: headers.FEN || null,
      bookPlies,
      moves: history.map((m, i) => ({
        ply: i + 1, san: m.san, lan: m.lan, side: m.color, before: m.before, after: m.after,
        comment: comments.get(m.after) || '',
      })),
    });
  }
  return games;
}

// The engine's own view from the referee's move comment: "+0.35/12 0.52s" -> "+0.35/12".
function ownScore(comment) {
  const m = /^([+-](?:\d+\.\d+|M\d+))(?:\/(\d+))?\s/.exec(comment + ' ');
  return m ? (m[2] ? `${m[1]}/${m[2]}` : m[1]) : '-';
}

// ---------------------------------------------------------------------------------------------
// Judging the moves

// Flags the moves that lose at least `threshold` centipawns in the oracle's view.
//   moves     the game's moves ({ ply, side, ... }), ply 1 first
//   evals     evals[p] = oracle score of the position after p moves, from the view of the
//             side to move there; undefined where it was not searched
//   bookPlies moves of the opening, not judged
// A move at ply p is judged from evals[p-1] (before it, the mover's view) and -evals[p] (after
// it, turned to the mover's view). Moves past `maxPly` are not judged, nor those of a mover
// already more than `lost` centipawns down: a lost position holds nothing left to blunder.
function judgeMoves(moves, evals, { bookPlies = 0, threshold = 150, lost = 500, maxPly = 80 } = {}) {
  const judged = [];
  for (const m of moves) {
    if (m.ply <= bookPlies || m.ply > maxPly) continue;
    const before = evals[m.ply - 1];
    const afterFromOpponent = evals[m.ply];
    if (before === undefined || afterFromOpponent === undefined) continue;
    if (before < -lost) continue;
    const after = 0 - afterFromOpponent;  // (not -0)
    judged.push({ ...m, before, after, drop: before - after, blunder: before - after >= threshold });
  }
  return judged;
}

// The score of a search's last exact report, from the side to move's view; mate counts as
// +-MATE. Bound reports (lowerbound/upperbound) are taken only if no exact one came.
function scoreFromInfo(lines) {
  let exact = null;
  let bound = null;
  for (const line of lines) {
    const m = / score (cp|mate) (-?\d+)/.exec(line);
    if (!m) continue;
    const n = parseInt(m[2], 10);
    const value = m[1] === 'cp' ? n : n > 0 ? MATE : -MATE;
    if (/ (lowerbound|upperbound)\b/.test(line)) bound = value;
    else exact = value;
  }
  return exact !== null ? exact : bound;
}

// The score of a position where the game is over, from the side to move's view; null if it is
// not over.
function terminalScore(board) {
  if (board.isCheckmate()) return -MATE;
  if (board.isStalemate() || board.isInsufficientMaterial() || board.isThreefoldRepetition() ||
      board.isDrawByFiftyMoves()) return 0;
  return null;
}

// ---------------------------------------------------------------------------------------------
// The oracle

class Oracle {
  constructor(args) {
    this.args = args;
    this.info = [];
    this.proc = new UciProcess(args.oracle, {
      onLine: (line) => line.startsWith('info') && this.info.push(line),
    });
  }

  async start() {
    this.proc.start();
    this.proc.send('uci');
    const r = await this.proc.waitFor((l) => l === 'uciok', 30000);
    if (!r.line) throw new Error(`the oracle ${this.args.oracle} did not answer "uci": ${this.proc.describeFailure(r)}`);
    for (const o of this.args.oracleOptions) {
      const eq = o.indexOf('=');
      this.proc.send(`setoption name ${o.slice(0, eq)} value ${o.slice(eq + 1)}`);
    }
    await this.ready();
  }

  async ready() {
    this.proc.send('isready');
    const r = await this.proc.waitFor((l) => l === 'readyok', 30000);
    if (!r.line) throw new Error(`the oracle did not answer "isready": ${this.proc.describeFailure(r)}`);
  }

  // Searches the position reached by `moves` from `fen` (null: the start position). The moves
  // are sent, not a FEN of the position, so the oracle sees repetitions.
  async evaluate(fen, moves) {
    this.proc.send((fen ? `position fen ${fen}` : 'position startpos') + (moves.length ? ` moves ${moves.join(' ')}` : ''));
    this.info = [];
    this.proc.send(`go nodes ${this.args.oracleNodes}`);
    const r = await this.proc.waitFor((l) => l.startsWith('bestmove'), 300000);
    if (!r.line) throw new Error(`the oracle gave no move: ${this.proc.describeFailure(r)}`);
    const score = scoreFromInfo(this.info);
    if (score === null) throw new Error('the oracle gave no score');
    return score;
  }
}

// Oracle scores of the positions of one game that its judged moves need.
async function evaluateGame(oracle, game, args) {
  oracle.proc.send('ucinewgame');
  await oracle.ready();
  const evals = [];
  const last = Math.min(game.moves.length, args.maxPly);
  const board = new Chess(game.startFen || undefined);
  const played = [];
  for (let p = 0; p <= last; p++) {
    if (p > 0) {
      board.move(game.moves[p - 1].san);
      played.push(game.moves[p - 1].lan);
    }
    if (p < game.bookPlies) continue;
    const over = terminalScore(board);
    evals[p] = over !== null ? over : await oracle.evaluate(game.startFen, played);
  }
  return evals;
}

// ---------------------------------------------------------------------------------------------
// Replays

// Plays `steps` (from uci_log.replaySteps) into a fresh process of `command`, waiting where the
// referee waited. Returns { moves: [bestmove of each step that awaited one], last, error }.
async function replay(command, steps) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'replay-'));
  const proc = new UciProcess(command, { cwd: dir });
  const moves = [];
  let error = null;
  try {
    proc.start();
    for (const step of steps) {
      proc.send(step.send);
      if (!step.await) continue;
      // A search gets its clock and half a minute more; the handshake half a minute.
      const clocks = [...step.send.matchAll(/\b[wb]time (\d+)/g)].map((m) => parseInt(m[1], 10));
      const ms = 30000 + (step.await === 'bestmove' ? Math.max(0, ...clocks) : 0);
      const r = await proc.waitFor((l) => l === step.await || (step.await === 'bestmove' && l.startsWith('bestmove')), ms);
      if (!r.line) {
        error = `no "${step.await}" after "${step.send}": ${proc.describeFailure(r)}`;
        break;
      }
      if (step.await === 'bestmove') moves.push(r.line.split(/\s+/)[1] || '');
    }
  } finally {
    await proc.stop();
    fs.rmSync(dir, { recursive: true, force: true });
  }
  return { moves, last: error ? null : moves[moves.length - 1], error };
}

// The replay of the bare position: the process's start-up lines (uci, setoption, isready),
// then a new game, the last position the engine was given and its last "go" (a ponder search
// that was hit becomes a normal one).
function freshSteps(steps) {
  const firstGameLine = steps.findIndex((s) => s.send === 'ucinewgame');
  const handshake = firstGameLine < 0 ? steps : steps.slice(0, firstGameLine);
  const position = [...steps].reverse().find((s) => s.send.startsWith('position'));
  const go = [...steps].reverse().find((s) => /^go\b/.test(s.send));
  if (!position || !go) return null;
  return [...handshake,
    { send: 'ucinewgame', await: null },
    { send: 'isready', await: 'readyok' },
    { send: position.send, await: null },
    { send: go.send.replace(/\s+ponder\b/, ''), await: 'bestmove' }];
}

// The replay with every search of the game asked for by the node count the engine reported at
// its end ("go nodes N") instead of by the clocks. A timed search stops wherever the clock runs
// out, and the machine's load moves that point; by nodes the same game is searched to the same
// extent every time, so a blunder that comes back here but not on the clock is an effect of how
// far the search got, not of state the game left behind. Ponder searches stay as they were.
function nodeSteps(steps) {
  return steps.map((s) => (/^go\b/.test(s.send) && !/\bponder\b/.test(s.send) && s.nodes > 0
    ? { ...s, send: `go nodes ${s.nodes}` } : s));
}

// ---------------------------------------------------------------------------------------------
// Report

function formatCp(cp) {
  if (cp >= MATE) return '+mate';
  if (cp <= -MATE) return '-mate';
  return (cp > 0 ? '+' : '') + cp;
}

function table(rows) {
  const widths = rows[0].map((_, c) => Math.max(...rows.map((r) => String(r[c]).length)));
  return rows.map((r) => r.map((cell, c) => String(cell).padEnd(widths[c])).join('  ').trimEnd()).join('\n');
}

// Which side of a game is the engine under test: by the log's engine slot (engine1/engine2)
// or by a case-blind part of the name. Returns 'w', 'b', or an error text.
function engineSide(game, info, wanted) {
  if (wanted === 'engine1' || wanted === 'engine2') {
    if (!info) return `no log lines for game ${game.round}`;
    const side = ['w', 'b'].find((s) => info.engine[s] === wanted);
    return side || `${wanted} did not play game ${game.round}`;
  }
  const w = (game.headers.White || '').toLowerCase().includes(wanted.toLowerCase());
  const b = (game.headers.Black || '').toLowerCase().includes(wanted.toLowerCase());
  if (w && b) return `both players of game ${game.round} match "${wanted}"; use --engine engine1 or engine2`;
  if (!w && !b) return `no player of game ${game.round} matches "${wanted}"`;
  return w ? 'w' : 'b';
}

async function main() {
  const args = parseArgs(process.argv);
  let games;
  try {
    games = readPgnGames(fs.readFileSync(args.pgn, 'utf8'));
  } catch (err) {
    usage(err.message);
  }
  for (const g of games.filter((g) => g.error)) console.error(`blunders: skipped a game of ${args.pgn}: ${g.error}`);
  games = games.filter((g) => !g.error && (!args.games || args.games.includes(g.round)));
  games.sort((a, b) => a.round - b.round);
  let entries = null;
  if (fs.existsSync(args.log)) entries = parseLog(fs.readFileSync(args.log, 'utf8'));
  else if (args.replay || /^engine[12]$/.test(args.engine)) console.error(`blunders: no log ${args.log}; no replays`);

  const plans = [];
  for (const game of games) {
    const info = entries ? gameInfo(entries, game.round) : null;
    const side = engineSide(game, info, args.engine);
    if (side !== 'w' && side !== 'b') {
      console.error(`blunders: skipped game ${game.round}: ${side}`);
      continue;
    }
    plans.push({ game, info, side });
  }
  if (plans.length === 0) usage('no game to judge');

  // Oracle searches: each oracle process takes the next game and searches its positions in
  // order, so that its hash table serves the positions that follow.
  const oracles = [];
  for (let k = 0; k < Math.min(args.oracleConcurrency, plans.length); k++) {
    const o = new Oracle(args);
    await o.start();
    oracles.push(o);
  }
  let next = 0;
  await Promise.all(oracles.map(async (o) => {
    while (next < plans.length) {
      const plan = plans[next++];
      plan.evals = await evaluateGame(o, plan.game, args);
    }
  }));
  for (const o of oracles) await o.proc.stop();

  // Replays one at a time and after the oracle has finished: the engine uses the clock values
  // of the game, and should find the processor as free as the match left it.
  const flagged = [];
  for (const plan of plans) {
    const { game, info, side } = plan;
    plan.judged = judgeMoves(game.moves, plan.evals, { ...args, bookPlies: game.bookPlies });
    for (const m of plan.judged.filter((j) => j.blunder)) {
      const row = { game, move: m, ours: m.side === side, replay: '-', fresh: '-', nodes: '-' };
      flagged.push(row);
      if (!row.ours || !args.replay || !entries) continue;
      const proc = info.proc[m.side];
      let steps;
      try {
        steps = replaySteps(entries, proc, game.round, m.ply, args.replayScope);
      } catch (err) {
        row.replay = `? (${err.message})`;
        continue;
      }
      const command = args.replayEngine || processStart(entries, proc).command;
      // With --repeat K each replay runs K times and the verdict counts how often the game's
      // move came back: "yes" only if it did every time, "2/5" when it did sometimes.
      const verdict = async (s) => {
        const others = [];
        let same = 0;
        for (let k = 0; k < args.repeat; k++) {
          const r = await replay(command, s);
          if (r.error) return `? (${r.error})`;
          if (r.last === m.lan) same++;
          else others.push(r.last);
        }
        if (same === args.repeat) return 'yes';
        if (same === 0) return `no (${[...new Set(others)].join(' ')})`;
        return `${same}/${args.repeat} (${[...new Set(others)].join(' ')})`;
      };
      row.replay = await verdict(steps);
      if (args.fresh) {
        const fresh = freshSteps(steps);
        row.fresh = fresh ? await verdict(fresh) : '? (no search in the log)';
      }
      if (args.replayNodes) row.nodes = await verdict(nodeSteps(steps));
    }
  }

  const names = (plan) => ({ ours: plan.game.headers[plan.side === 'w' ? 'White' : 'Black'],
    theirs: plan.game.headers[plan.side === 'w' ? 'Black' : 'White'] });
  console.log(`${plans.length} games judged by ${args.oracle} at ${args.oracleNodes} nodes; a drop of ` +
      `${args.threshold} cp or more is flagged, up to ply ${args.maxPly}, unless the mover was already ` +
      `${args.lost} cp down`);
  if (flagged.length) {
    const rows = [['game', 'ply', 'player', 'move', 'before', 'after', 'drop', 'own', 'replay', 'fresh', 'by nodes']];
    for (const f of flagged) {
      const plan = plans.find((p) => p.game === f.game);
      rows.push([f.game.round, f.move.ply, f.ours ? names(plan).ours : names(plan).theirs,
        `${f.move.san} ${f.move.lan}`, formatCp(f.move.before), formatCp(f.move.after), f.move.drop,
        ownScore(f.move.comment), f.replay, f.fresh, f.nodes]);
    }
    console.log('');
    console.log(table(rows));
  } else {
    console.log('no move flagged');
  }
  console.log('');
  let ours = 0;
  let theirs = 0;
  for (const plan of plans) {
    const mine = plan.judged.filter((j) => j.side === plan.side);
    const other = plan.judged.filter((j) => j.side !== plan.side);
    const b1 = mine.filter((j) => j.blunder).length;
    const b2 = other.filter((j) => j.blunder).length;
    ours += b1;
    theirs += b2;
    console.log(`game ${plan.game.round}: ${names(plan).ours} ${b1} of ${mine.length} moves, ` +
        `${names(plan).theirs} ${b2} of ${other.length} moves`);
  }
  const n = plans.length;
  console.log(`blunders per game: engine ${(ours / n).toFixed(2)} (${ours} in ${n} games), ` +
      `opponent ${(theirs / n).toFixed(2)} (${theirs})`);
  const replayed = flagged.filter((f) => f.ours && f.replay !== '-');
  if (replayed.length) {
    const count = (key) => replayed.filter((f) => f[key] === 'yes').length;
    console.log(`reproduced by the game's command sequence: ${count('replay')} of ${replayed.length}` +
        (args.fresh ? `; from the bare position: ${count('fresh')} of ${replayed.length}` : '') +
        (args.replayNodes ? `; by the game's node counts: ${count('nodes')} of ${replayed.length}` : ''));
  }
}

if (require.main === module) {
  main().catch((err) => {
    console.error(`blunders: ${err.message}`);
    process.exit(2);
  });
}

module.exports = { readPgnGames, judgeMoves, scoreFromInfo, terminalScore, ownScore, freshSteps, nodeSteps, replay,
  engineSide };
