#!/usr/bin/env node
// Plays games between two UCI engines with real clocks and checks every move.
//
// Each engine runs as a child process driven over its standard input and output. The referee
// keeps both clocks itself: the time of a move runs from the moment "go" is written until the
// "bestmove" line arrives, measured with the monotonic high-resolution clock. Every reply is
// checked against the legal moves of the position (chess.js); the game ends on mate,
// stalemate, threefold repetition, the fifty-move rule, insufficient material, an illegal or
// missing move, a flag fall, a hung engine or a crashed one. Games go to a PGN file and a
// summary is printed at the end. See README.md for the options.
'use strict';

const { spawn } = require('child_process');
const fs = require('fs');
const path = require('path');
const { Chess, validateFen } = require('chess.js');

const START_FEN = 'rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1';

// ---------------------------------------------------------------------------------------------
// Command line

function usage(message) {
  if (message) console.error(`referee: ${message}`);
  console.error(
    'usage: referee.js --engine1 PATH --engine2 PATH [--games N] [--tc BASE+INC]\n' +
      '                  [--openings FILE|none] [--pgn FILE] [--overhead MS]\n' +
      '                  [--option1 NAME=VALUE]... [--option2 NAME=VALUE]...\n' +
      '                  [--ponder] [--max-plies N] [--verbose]');
  process.exit(2);
}

function parseArgs(argv) {
  const args = {
    engine1: null,
    engine2: null,
    games: 2,
    tc: '10+0.1',
    openings: path.join(__dirname, 'openings.txt'),
    pgn: 'referee.pgn',
    overhead: 50,
    options1: [],
    options2: [],
    maxPlies: 1000,
    ponder: false,
    verbose: false,
  };
  for (let i = 2; i < argv.length; i++) {
    const a = argv[i];
    const value = () => {
      if (i + 1 >= argv.length) usage(`${a} needs a value`);
      return argv[++i];
    };
    switch (a) {
      case '--engine1': args.engine1 = value(); break;
      case '--engine2': args.engine2 = value(); break;
      case '--games': args.games = parseInt(value(), 10); break;
      case '--tc': args.tc = value(); break;
      case '--openings': args.openings = value(); break;
      case '--pgn': args.pgn = value(); break;
      case '--overhead': args.overhead = parseInt(value(), 10); break;
      case '--option1': args.options1.push(value()); break;
      case '--option2': args.options2.push(value()); break;
      case '--max-plies': args.maxPlies = parseInt(value(), 10); break;
      case '--ponder': args.ponder = true; break;
      case '--verbose': args.verbose = true; break;
      case '--help': case '-h': usage();
      default: usage(`unknown argument ${a}`);
    }
  }
  if (!args.engine1 || !args.engine2) usage('both engines are needed');
  if (!(args.games > 0)) usage('--games must be a positive number');
  if (!(args.overhead >= 0)) usage('--overhead must be 0 or more');
  if (!(args.maxPlies > 0)) usage('--max-plies must be a positive number');
  const m = /^(\d+(?:\.\d+)?)(?:\+(\d+(?:\.\d+)?))?$/.exec(args.tc);
  if (!m) usage(`bad time control ${args.tc} (want BASE+INC in seconds, e.g. 10+0.1)`);
  args.baseMs = Math.round(parseFloat(m[1]) * 1000);
  args.incMs = Math.round(parseFloat(m[2] || '0') * 1000);
  if (args.baseMs <= 0) usage('the base time must be positive');
  for (const o of [...args.options1, ...args.options2])
    if (!o.includes('=')) usage(`option ${o} is not NAME=VALUE`);
  return args;
}

// ---------------------------------------------------------------------------------------------
// Openings: one per line, either a FEN or a list of moves in coordinate form from the start
// position; "#" starts a comment. Each opening is played twice, once with each colour.

function loadOpenings(file) {
  if (file === 'none') return [{ fen: START_FEN, moves: [], label: 'start position' }];
  const openings = [];
  const lines = fs.readFileSync(file, 'utf8').split('\n');
  lines.forEach((raw, n) => {
    const line = raw.replace(/#.*/, '').trim();
    if (!line) return;
    const where = `${file}:${n + 1}`;
    let fen = START_FEN;
    let moves = [];
    if (line.includes('/')) {
      fen = line;
      const check = validateFen(fen);
      if (!check.ok) throw new Error(`${where}: ${check.error}`);
    } else {
      moves = line.split(/\s+/);
    }
    const board = new Chess(fen);
    for (const mv of moves)
      if (!playCoordinateMove(board, mv)) throw new Error(`${where}: illegal move ${mv}`);
    if (board.isGameOver()) throw new Error(`${where}: the game is already over`);
    openings.push({ fen, moves, label: line });
  });
  if (openings.length === 0) throw new Error(`${file}: no openings`);
  return openings;
}

// Plays a move given in coordinate form ("e2e4", "e7e8q", castling as the king's move) if it
// is legal; returns the chess.js move or null. Only exact coordinate texts of legal moves are
// accepted: no promotion letter left out, no upper case, no extra characters.
function playCoordinateMove(board, text) {
  const legal = board.moves({ verbose: true }).find((m) => m.lan === text);
  if (!legal) return null;
  return board.move({ from: legal.from, to: legal.to, promotion: legal.promotion });
}

// ---------------------------------------------------------------------------------------------
// An engine process and its line stream

class Engine {
  constructor(command, label, options, ponder, verbose) {
    this.command = command;
    this.label = label;
    this.options = options;
    this.ponder = ponder;
    this.verbose = verbose;
    this.name = path.basename(command);
    this.proc = null;
    this.alive = false;
    this.waiter = null;  // { test, resolve, timer }
    this.lastInfo = null;
    this.expectingBestmove = false;
    this.unsolicitedBestmoves = 0;
    this.exitInfo = null;
    // Pondering: the move pondered on, and a "bestmove" that came before "ponderhit" or "stop".
    this.pondering = false;
    this.ponderMove = null;
    this.earlyReply = null;
  }

  start() {
    // A path that exists is run as it is; anything else is a command line split at spaces.
    const [program, ...programArgs] = fs.existsSync(this.command) ? [this.command] : this.command.split(/\s+/);
    const proc = spawn(program, programArgs, { stdio: ['pipe', 'pipe', 'ignore'] });
    this.proc = proc;
    this.alive = true;
    this.exitInfo = null;
    let pending = '';
    proc.stdout.setEncoding('utf8');
    proc.stdout.on('data', (chunk) => {
      // Late output of a process that has been replaced belongs to no game.
      if (proc !== this.proc) return;
      const now = process.hrtime.bigint();
      pending += chunk;
      let nl;
      while ((nl = pending.indexOf('\n')) >= 0) {
        const line = pending.slice(0, nl).replace(/\r$/, '');
        pending = pending.slice(nl + 1);
        this.onLine(line, now);
      }
    });
    // A write to a process that has gone away must not bring the referee down.
    proc.stdin.on('error', () => {});
    proc.on('error', (err) => proc === this.proc && this.onExit(null, null, err.message));
    proc.on('exit', (code, signal) => proc === this.proc && this.onExit(code, signal, null));
  }

  onLine(line, time) {
    if (this.verbose) console.log(`  ${this.label} > ${line}`);
    if (line.startsWith('info') && / score /.test(line)) this.lastInfo = line;
    if (line.startsWith('bestmove')) {
      // A ponder search must not end before "ponderhit" or "stop": the line is kept, but it
      // counts as a stray one.
      if (this.pondering) {
        this.unsolicitedBestmoves++;
        if (!this.earlyReply) this.earlyReply = { line, time };
        return;
      }
      if (!this.expectingBestmove) {
        this.unsolicitedBestmoves++;
        return;
      }
      this.expectingBestmove = false;
    }
    if (this.waiter && this.waiter.test(line)) {
      const w = this.waiter;
      this.waiter = null;
      clearTimeout(w.timer);
      w.resolve({ line, time });
    }
  }

  onExit(code, signal, error) {
    if (!this.alive) return;
    this.alive = false;
    this.exitInfo = error ? `could not run: ${error}` : signal ? `killed by ${signal}` : `exit code ${code}`;
    if (this.waiter) {
      const w = this.waiter;
      this.waiter = null;
      clearTimeout(w.timer);
      w.resolve({ exited: true });
    }
  }

  send(line) {
    if (this.verbose) console.log(`  ${this.label} < ${line}`);
    if (this.alive) this.proc.stdin.write(line + '\n');
  }

  // Resolves with { line, time } for the first line that passes `test`, { timeout: true } after
  // `ms` milliseconds, or { exited: true } when the process ends first.
  waitFor(test, ms) {
    if (!this.alive) return Promise.resolve({ exited: true });
    return new Promise((resolve) => {
      const timer = setTimeout(() => {
        this.waiter = null;
        resolve({ timeout: true });
      }, ms);
      this.waiter = { test, resolve, timer };
    });
  }

  async handshake() {
    this.send('uci');
    let idName = null;
    let ponderOption = false;
    const idListener = (line) => {
      if (line.startsWith('id name ')) idName = line.slice(8).trim();
      if (/^option name Ponder type check/i.test(line)) ponderOption = true;
      return line === 'uciok';
    };
    const r = await this.waitFor(idListener, 30000);
    if (!r.line) throw new Error(`${this.label} (${this.command}) did not answer "uci": ${this.describeFailure(r)}`);
    if (idName) this.name = idName;
    // Tell the engine whether it will be asked to ponder, unless the user set it.
    if (ponderOption && !this.options.some((o) => /^ponder=/i.test(o)))
      this.send(`setoption name Ponder value ${this.ponder}`);
    for (const o of this.options) {
      const eq = o.indexOf('=');
      this.send(`setoption name ${o.slice(0, eq)} value ${o.slice(eq + 1)}`);
    }
    await this.ready();
  }

  async ready() {
    this.send('isready');
    const r = await this.waitFor((line) => line === 'readyok', 30000);
    if (!r.line) throw new Error(`${this.label} did not answer "isready": ${this.describeFailure(r)}`);
  }

  describeFailure(r) {
    return r.exited ? this.exitInfo || 'exited' : 'no reply in time';
  }

  async stop() {
    if (!this.alive) return;
    this.send('quit');
    const r = await this.waitFor(() => false, 2000);
    if (!r.exited && this.alive) this.kill();
  }

  // Ends a hung process at once; it counts as gone from now on, and the next game starts a
  // new one.
  kill() {
    if (!this.proc || !this.alive) return;
    this.proc.kill('SIGKILL');
    this.onExit(null, 'SIGKILL', null);
  }
}

// ---------------------------------------------------------------------------------------------
// Statistics per engine

function newStats() {
  return {
    wins: 0, draws: 0, losses: 0,
    illegal: 0, timeLosses: 0, noReply: 0, crashes: 0,
    moves: 0, thinkMs: 0, longestMs: 0, leastLeftMs: Infinity,
    ponders: 0, ponderHits: 0, badPonderMoves: 0,
  };
}

// Score of a finished game's last info line, for the PGN comment.
function scoreComment(info) {
  if (!info) return '';
  const depth = / depth (\d+)/.exec(info);
  const cp = / score cp (-?\d+)/.exec(info);
  const mate = / score mate (-?\d+)/.exec(info);
  let score = '';
  if (cp) score = (parseInt(cp[1], 10) >= 0 ? '+' : '') + (parseInt(cp[1], 10) / 100).toFixed(2);
  else if (mate) score = (parseInt(mate[1], 10) > 0 ? '+M' : '-M') + Math.abs(parseInt(mate[1], 10));
  if (!score) return '';
  return depth ? `${score}/${depth[1]} ` : `${score} `;
}

// ---------------------------------------------------------------------------------------------
// One game

async function playGame(args, white, black, opening, round) {
  const board = new Chess(opening.fen);
  for (const mv of opening.moves) playCoordinateMove(board, mv);
  const played = [...opening.moves];
  const clock = { w: args.baseMs, b: args.baseMs };
  const engines = { w: white, b: black };
  let result = null;  // { result: '1-0' | '0-1' | '1/2-1/2', reason, loser: 'w'|'b'|null, kind }

  for (const side of ['w', 'b']) {
    const e = engines[side];
    e.send('ucinewgame');
    e.send('isready');
    const r = await e.waitFor((line) => line === 'readyok', 30000);
    if (r.line) continue;
    if (r.exited) e.stats.crashes++;
    else e.stats.noReply++, e.kill();
    result = { loser: side, kind: 'crash', reason: `${e.name} failed before the game (${e.describeFailure(r)})` };
    break;
  }
  if (opening.moves.length > 0) board.setComment('opening');

  const isBestmove = (line) => line.startsWith('bestmove');
  const positionAfter = (moves) =>
    (opening.fen === START_FEN ? 'position startpos' : `position fen ${opening.fen}`) +
    (moves.length ? ` moves ${moves.join(' ')}` : '');
  const goCommand = (ponder) =>
    `go ${ponder ? 'ponder ' : ''}wtime ${clock.w} btime ${clock.b} winc ${args.incMs} binc ${args.incMs}`;

  // Ends a ponder search that missed the move played or outlived its game: "stop", then its
  // "bestmove" is read and dropped. Returns null, or what went wrong (charged to the engine).
  const endPonder = async (e) => {
    e.pondering = false;
    if (e.earlyReply) {
      e.earlyReply = null;
      return null;
    }
    e.expectingBestmove = true;
    e.send('stop');
    const r = await e.waitFor(isBestmove, 5000);
    if (r.line) return null;
    e.expectingBestmove = false;
    if (r.exited) {
      e.stats.crashes++;
      return `${e.name} crashed (${e.exitInfo})`;
    }
    e.stats.noReply++;
    e.kill();
    return `${e.name} did not answer "stop" within 5 s`;
  };

  while (!result) {
    const side = board.turn();
    const engine = engines[side];
    const other = side === 'w' ? 'b' : 'w';
    const stats = engine.stats;
    let started, r;
    if (engine.pondering && engine.ponderMove === played[played.length - 1]) {
      // The expected move came: the ponder search goes on as a normal one, and the clock runs
      // from "ponderhit".
      stats.ponderHits++;
      engine.pondering = false;
      engine.expectingBestmove = true;
      started = process.hrtime.bigint();
      engine.send('ponderhit');
      if (engine.earlyReply) {
        r = { line: engine.earlyReply.line, time: started };
        engine.earlyReply = null;
        engine.expectingBestmove = false;
      } else {
        r = await engine.waitFor(isBestmove, clock[side] + 5000);
      }
    } else {
      if (engine.pondering) {
        const failure = await endPonder(engine);
        if (failure) {
          result = { loser: side, kind: 'noreply', reason: failure };
          break;
        }
      }
      engine.send(positionAfter(played));
      engine.lastInfo = null;
      engine.expectingBestmove = true;
      started = process.hrtime.bigint();
      engine.send(goCommand(false));
      r = await engine.waitFor(isBestmove, clock[side] + 5000);
    }

    if (r.exited) {
      stats.crashes++;
      result = { loser: side, kind: 'crash', reason: `${engine.name} crashed (${engine.exitInfo})` };
      break;
    }
    if (r.timeout) {
      stats.noReply++;
      result = { loser: side, kind: 'noreply', reason: `${engine.name} gave no move within its clock + 5 s` };
      engine.kill();
      break;
    }
    const usedMs = Number(r.time - started) / 1e6;
    stats.moves++;
    stats.thinkMs += usedMs;
    stats.longestMs = Math.max(stats.longestMs, usedMs);
    const moveText = r.line.split(/\s+/)[1] || '';
    if (usedMs > clock[side] + args.overhead) {
      stats.timeLosses++;
      result = {
        loser: side, kind: 'time',
        reason: `${engine.name} lost on time (${usedMs.toFixed(0)} ms used, ${clock[side]} ms left)`,
      };
      break;
    }
    const move = playCoordinateMove(board, moveText);
    if (!move) {
      stats.illegal++;
      result = {
        loser: side, kind: 'illegal',
        reason: `${engine.name} played the illegal move "${moveText}" in ${board.fen()}`,
      };
      break;
    }
    played.push(moveText);
    clock[side] = Math.max(0, Math.round(clock[side] - usedMs)) + args.incMs;
    stats.leastLeftMs = Math.min(stats.leastLeftMs, clock[side] - args.incMs);
    board.setComment(`${scoreComment(engine.lastInfo)}${(usedMs / 1000).toFixed(2)}s`);
    if (args.verbose)
      console.log(`  ${side === 'w' ? 'White' : 'Black'} ${moveText} in ${usedMs.toFixed(0)} ms, clocks ${clock.w}/${clock.b}`);

    if (board.isCheckmate()) result = { loser: other, kind: 'mate', reason: `${engine.name} mates` };
    else if (board.isStalemate()) result = { loser: null, reason: 'stalemate' };
    else if (board.isInsufficientMaterial()) result = { loser: null, reason: 'insufficient material' };
    else if (board.isThreefoldRepetition()) result = { loser: null, reason: 'threefold repetition' };
    else if (board.isDrawByFiftyMoves()) result = { loser: null, reason: 'fifty-move rule' };
    else if (played.length - opening.moves.length >= args.maxPlies)
      result = { loser: null, reason: `adjudicated after ${args.maxPlies} plies` };

    // Ponder on the engine's expected reply while the opponent thinks.
    if (!result && args.ponder) {
      const tokens = r.line.split(/\s+/);
      const at = tokens.indexOf('ponder');
      const expected = at > 0 ? tokens[at + 1] : undefined;
      if (expected !== undefined) {
        if (new Chess(board.fen()).moves({ verbose: true }).some((m) => m.lan === expected)) {
          stats.ponders++;
          engine.send(positionAfter([...played, expected]));
          engine.lastInfo = null;
          engine.pondering = true;
          engine.ponderMove = expected;
          engine.earlyReply = null;
          engine.send(goCommand(true));
        } else {
          stats.badPonderMoves++;
        }
      }
    }
  }
  // A ponder search still running when the game ended is stopped; a failure to stop is
  // counted, though the game is decided already.
  for (const e of [white, black]) if (e.pondering) await endPonder(e);

  result.result = result.loser === 'w' ? '0-1' : result.loser === 'b' ? '1-0' : '1/2-1/2';
  const date = new Date();
  const headers = {
    Event: 'Referee match',
    Site: 'local',
    Date: `${date.getFullYear()}.${String(date.getMonth() + 1).padStart(2, '0')}.${String(date.getDate()).padStart(2, '0')}`,
    Round: String(round),
    White: white.name,
    Black: black.name,
    Result: result.result,
    TimeControl: `${args.baseMs / 1000}+${args.incMs / 1000}`,
    Termination: result.reason,
    PlyCount: String(played.length),
  };
  if (opening.fen !== START_FEN) {
    headers.SetUp = '1';
    headers.FEN = opening.fen;
  }
  for (const [k, v] of Object.entries(headers)) board.setHeader(k, v);
  let pgn = board.pgn();
  // chess.js ends the move text with the result it knows of; an adjudicated game needs ours.
  pgn = pgn.replace(/(\s)(\*|1-0|0-1|1\/2-1\/2)\s*$/, `$1${result.result}`);
  if (!/(\*|1-0|0-1|1\/2-1\/2)\s*$/.test(pgn)) pgn += ` ${result.result}`;
  return { ...result, pgn: pgn + '\n\n', plies: played.length };
}

// ---------------------------------------------------------------------------------------------
// The match

async function main() {
  const args = parseArgs(process.argv);
  let openings;
  try {
    openings = loadOpenings(args.openings);
  } catch (err) {
    usage(err.message);
  }
  const engines = [
    new Engine(args.engine1, 'engine1', args.options1, args.ponder, args.verbose),
    new Engine(args.engine2, 'engine2', args.options2, args.ponder, args.verbose),
  ];
  for (const e of engines) {
    e.stats = newStats();
    e.start();
    await e.handshake();
  }
  fs.writeFileSync(args.pgn, '');
  console.log(`${engines[0].name} vs ${engines[1].name}: ${args.games} games at ` +
      `${args.baseMs / 1000}+${args.incMs / 1000}, overhead allowance ${args.overhead} ms` +
      (args.ponder ? ', pondering' : ''));

  for (let g = 0; g < args.games; g++) {
    // A process that crashed or hung in the last game starts afresh.
    for (const e of engines) {
      if (!e.alive) {
        e.start();
        await e.handshake();
      }
    }
    const opening = openings[Math.floor(g / 2) % openings.length];
    const [white, black] = g % 2 === 0 ? engines : [engines[1], engines[0]];
    const r = await playGame(args, white, black, opening, g + 1);
    fs.appendFileSync(args.pgn, r.pgn);
    const winner = r.loser === 'w' ? black : r.loser === 'b' ? white : null;
    const loser = winner === white ? black : winner === black ? white : null;
    if (winner) {
      winner.stats.wins++;
      loser.stats.losses++;
    } else {
      white.stats.draws++;
      black.stats.draws++;
    }
    console.log(`game ${g + 1}: ${white.name} - ${black.name} ${r.result} (${r.reason}), ` +
        `${r.plies} plies, opening: ${opening.label}`);
  }
  for (const e of engines) await e.stop();

  console.log('');
  const [a, b] = engines;
  const score = a.stats.wins + a.stats.draws / 2;
  const share = score / args.games;
  const elo = share > 0 && share < 1 ? `, Elo difference about ${Math.round(-400 * Math.log10(1 / share - 1))}` : '';
  console.log(`score ${a.name} ${score} - ${args.games - score} ${b.name} (${(100 * share).toFixed(1)}%${elo})`);
  for (const e of engines) {
    const s = e.stats;
    const average = s.moves ? (s.thinkMs / s.moves).toFixed(0) : '-';
    const least = s.leastLeftMs === Infinity ? '-' : `${Math.round(s.leastLeftMs)} ms`;
    console.log(`${e.label} ${e.name}: +${s.wins} =${s.draws} -${s.losses}; ` +
        `illegal moves ${s.illegal}, time losses ${s.timeLosses}, no reply ${s.noReply}, ` +
        `crashes ${s.crashes}, stray bestmove lines ${e.unsolicitedBestmoves}; ` +
        `${s.moves} moves, average ${average} ms, longest ${s.longestMs.toFixed(0)} ms, ` +
        `least clock left ${least}` +
        (args.ponder ? `; ponder hits ${s.ponderHits}/${s.ponders}, illegal ponder moves ${s.badPonderMoves}` : ''));
  }
  console.log(`games written to ${args.pgn}`);
  const s1 = a.stats;
  const faults = s1.illegal + s1.timeLosses + s1.noReply + s1.crashes + a.unsolicitedBestmoves;
  process.exit(faults > 0 ? 1 : 0);
}

main().catch((err) => {
  console.error(`referee: ${err.message}`);
  process.exit(2);
});
