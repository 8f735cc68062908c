#!/usr/bin/env node
// Plays games between two UCI engines with real clocks and checks every move.
//
// Each engine runs as a child process driven over its standard input and output. The referee
// keeps both clocks itself: the time of a move runs from the moment "go" is written until the
// "bestmove" line arrives, measured with the monotonic high-resolution clock. Every reply is
// checked against the legal moves of the position (chess.js); the game ends on mate,
// stalemate, threefold repetition, the fifty-move rule, insufficient material, an illegal or
// missing move, a flag fall, a hung engine or a crashed one. Games go to a PGN file, every line
// to and from the engines to a log, and a summary with the Elo difference (and, if asked for, a
// sequential probability ratio test) is printed at the end. Several games can run at once, each
// with its own pair of engine processes. See README.md for the options.
'use strict';

const fs = require('fs');
const os = require('os');
const path = require('path');
const { Chess, validateFen } = require('chess.js');
const { UciProcess, splitCommand } = require('./uci_process');
const { LogWriter } = require('./uci_log');
const stats = require('./stats');

const START_FEN = 'rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1';

// ---------------------------------------------------------------------------------------------
// Command line

function usage(message) {
  if (message) console.error(`referee: ${message}`);
  console.error(
    'usage: referee.js --engine1 PATH --engine2 PATH [--games N] [--tc BASE+INC]\n' +
      '                  [--openings FILE|none] [--skip-openings K] [--pgn FILE] [--overhead MS]\n' +
      '                  [--option1 NAME=VALUE]... [--option2 NAME=VALUE]...\n' +
      '                  [--ponder] [--max-plies N] [--verbose] [--concurrency N]\n' +
      '                  [--sprt ELO0,ELO1,ALPHA,BETA] [--log FILE|none] [--run-in-cwd]\n' +
      '                  [--nodes N] [--nodes1 N] [--nodes2 N]');
  process.exit(2);
}

function parseArgs(argv) {
  const args = {
    engine1: null,
    engine2: null,
    games: 2,
    tc: '10+0.1',
    openings: path.join(__dirname, 'openings.txt'),
    skipOpenings: 0,
    pgn: 'referee.pgn',
    overhead: 50,
    options1: [],
    options2: [],
    maxPlies: 1000,
    ponder: false,
    verbose: false,
    concurrency: 1,
    sprt: null,
    log: null,
    runInCwd: false,
    nodes: 0,
    nodes1: 0,
    nodes2: 0,
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
      case '--skip-openings': args.skipOpenings = parseInt(value(), 10); break;
      case '--pgn': args.pgn = value(); break;
      case '--overhead': args.overhead = parseInt(value(), 10); break;
      case '--option1': args.options1.push(value()); break;
      case '--option2': args.options2.push(value()); break;
      case '--max-plies': args.maxPlies = parseInt(value(), 10); break;
      case '--ponder': args.ponder = true; break;
      case '--verbose': args.verbose = true; break;
      case '--concurrency': args.concurrency = parseInt(value(), 10); break;
      case '--sprt': {
        const text = value();
        args.sprt = stats.parseSprt(text);
        if (!args.sprt) usage(`bad --sprt ${text} (want ELO0,ELO1,ALPHA,BETA with ELO0 < ELO1, e.g. 0,5,0.05,0.05)`);
        break;
      }
      case '--log': args.log = value(); break;
      case '--run-in-cwd': args.runInCwd = true; break;
      case '--nodes': args.nodes = parseInt(value(), 10); break;
      case '--nodes1': args.nodes1 = parseInt(value(), 10); break;
      case '--nodes2': args.nodes2 = parseInt(value(), 10); break;
      case '--help': case '-h': usage();
      default: usage(`unknown argument ${a}`);
    }
  }
  if (!args.engine1 || !args.engine2) usage('both engines are needed');
  if (!(args.games > 0)) usage('--games must be a positive number');
  if (!(args.overhead >= 0)) usage('--overhead must be 0 or more');
  if (!(args.maxPlies > 0)) usage('--max-plies must be a positive number');
  if (!(args.concurrency > 0)) usage('--concurrency must be a positive number');
  if (!(args.skipOpenings >= 0)) usage('--skip-openings must be 0 or more');
  for (const key of ['nodes', 'nodes1', 'nodes2'])
    if (!(args[key] >= 0)) usage(`--${key} must be 0 or more`);
  // Each engine's budget: its own, else the common one. A game is played on budgets or on the
  // clocks, never half and half.
  args.budget = { engine1: args.nodes1 || args.nodes, engine2: args.nodes2 || args.nodes };
  args.onNodes = args.budget.engine1 > 0;
  if (args.onNodes !== args.budget.engine2 > 0) usage('a node budget is needed for both engines or for neither');
  if (args.onNodes && args.ponder) usage('--nodes and --ponder do not go together');
  if (args.log === null) args.log = /\.pgn$/i.test(args.pgn) ? args.pgn.replace(/\.pgn$/i, '.log') : `${args.pgn}.log`;
  if (args.log === 'none') args.log = null;
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
  // The opening files kept beside the script can be named without their directory.
  if (!fs.existsSync(file) && fs.existsSync(path.join(__dirname, file))) file = path.join(__dirname, file);
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

let processesStarted = 0;

class Engine extends UciProcess {
  // config: { command, label, options, ponder, verbose, stats, log, cwd }. All processes of one
  // command-line slot (one per concurrent game, and restarts) share the slot's `stats`.
  constructor(config) {
    super(config.command, {
      cwd: config.cwd,
      onLine: (line, time) => this.record('recv', line, time),
      onSend: (line) => this.record('send', line),
    });
    this.label = config.label;
    this.options = config.options;
    this.ponder = config.ponder;
    this.verbose = config.verbose;
    this.stats = config.stats;
    this.log = config.log;
    this.name = path.basename(config.command);
    this.processId = null;
    this.game = null;  // the game being played and this engine's side in it, for the log
    this.side = null;
    this.lastInfo = null;
    this.expectingBestmove = false;
    // Pondering: the move pondered on, and a "bestmove" that came before "ponderhit" or "stop".
    this.pondering = false;
    this.ponderMove = null;
    this.earlyReply = null;
  }

  record(dir, line, time) {
    if (this.verbose && dir !== 'note') console.log(`  ${this.label} ${dir === 'send' ? '<' : '>'} ${line}`);
    if (this.log)
      this.log.write({ game: this.game, engine: this.label, process: this.processId, side: this.side, name: this.name },
        dir, line, time);
  }

  start() {
    this.processId = `p${++processesStarted}`;
    this.game = null;
    this.side = null;
    this.pondering = false;
    this.expectingBestmove = false;
    // The command with its files made absolute: what a replay of this process needs to run.
    this.record('note', `command ${splitCommand(this.command).join(' ')}`);
    this.record('note', `cwd ${this.cwd}`);
    super.start();
  }

  deliver(line, time) {
    if (line.startsWith('info') && / score /.test(line)) this.lastInfo = line;
    if (line.startsWith('bestmove')) {
      // A ponder search must not end before "ponderhit" or "stop": the line is kept, but it
      // counts as a stray one.
      if (this.pondering) {
        this.stats.stray++;
        if (!this.earlyReply) this.earlyReply = { line, time };
        return;
      }
      if (!this.expectingBestmove) {
        this.stats.stray++;
        return;
      }
      this.expectingBestmove = false;
    }
    super.deliver(line, time);
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
}

// ---------------------------------------------------------------------------------------------
// Statistics per engine

function newStats() {
  return {
    wins: 0, draws: 0, losses: 0,
    illegal: 0, timeLosses: 0, noReply: 0, crashes: 0,
    moves: 0, thinkMs: 0, longestMs: 0, leastLeftMs: Infinity,
    ponders: 0, ponderHits: 0, badPonderMoves: 0,
    stray: 0,  // "bestmove" lines that no "go" asked for
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
    engines[side].game = round;
    engines[side].side = side;
    engines[side].record('note', `start ${opening.fen === START_FEN ? 'startpos' : `fen ${opening.fen}`}` +
      (opening.moves.length ? ` moves ${opening.moves.join(' ')}` : ''));
  }
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
  // A node budget makes a game independent of the machine's load: the same commands give the
  // same game, so experiments can share the processor with other work.
  const goCommand = (engine, ponder) => args.onNodes && !ponder ? `go nodes ${args.budget[engine.label]}` :
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
      engine.send(goCommand(engine, false));
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
    if (!args.onNodes && usedMs > clock[side] + args.overhead) {
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
    engine.record('note', `move ${played.length} ${moveText} ${usedMs.toFixed(1)}ms`);
    if (!args.onNodes) clock[side] = Math.max(0, Math.round(clock[side] - usedMs)) + args.incMs;
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
          engine.send(goCommand(engine, true));
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
  for (const e of [white, black]) {
    e.record('note', `result ${result.result} ${result.reason}`);
    e.game = null;
    e.side = null;
  }
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
  // A tag value may not hold a double quote for PGN readers that know no escapes (chess.js
  // among them): the move text of an illegal move is quoted in the reason.
  for (const [k, v] of Object.entries(headers)) board.setHeader(k, v.replace(/["\\]/g, "'"));
  let pgn = board.pgn();
  // chess.js ends the move text with the result it knows of; an adjudicated game needs ours.
  pgn = pgn.replace(/(\s)(\*|1-0|0-1|1\/2-1\/2)\s*$/, `$1${result.result}`);
  if (!/(\*|1-0|0-1|1\/2-1\/2)\s*$/.test(pgn)) pgn += ` ${result.result}`;
  return { ...result, pgn: pgn + '\n\n', plies: played.length };
}

// ---------------------------------------------------------------------------------------------
// The match

// One line of running totals from engine 1's view: after each game, and at the end.
function standing(tally, sprt) {
  const s = stats.summarize(tally.wins, tally.draws, tally.losses);
  let line = `+${s.wins} =${s.draws} -${s.losses}, ${(100 * s.score).toFixed(1)}%, ` +
    `Elo ${stats.formatElo(s.elo)} +/- ${Number.isFinite(s.eloError) ? s.eloError.toFixed(1) : 'inf'}`;
  if (sprt) {
    const t = stats.sprtStatus(tally.wins, tally.draws, tally.losses, sprt);
    line += `, LLR ${t.llr.toFixed(2)} [${t.lower.toFixed(2)}, ${t.upper.toFixed(2)}]`;
  }
  return line;
}

// A working directory per engine and game slot, so that files an engine keeps beside it (a
// learning file, logs) are not shared by processes that play at the same time, nor by the two
// engines, and a match does not start from what an earlier one left behind.
function engineDirectory(args, label, slot) {
  if (args.runInCwd) return process.cwd();
  const dir = path.join(args.workRoot, `${label}-slot${slot + 1}`);
  fs.mkdirSync(dir, { recursive: true });
  return dir;
}

async function main() {
  const args = parseArgs(process.argv);
  let openings;
  try {
    openings = loadOpenings(args.openings);
  } catch (err) {
    usage(err.message);
  }
  if (!args.runInCwd) {
    const root = fs.mkdtempSync(path.join(os.tmpdir(), 'referee-'));
    args.workRoot = root;
    process.on('exit', () => fs.rmSync(root, { recursive: true, force: true }));
  }
  const log = new LogWriter(args.log);
  const tallies = { engine1: newStats(), engine2: newStats() };
  const commands = { engine1: args.engine1, engine2: args.engine2 };
  const options = { engine1: args.options1, engine2: args.options2 };
  // slots[k] = [engine 1, engine 2] of the k-th concurrent game. They start one after another:
  // an engine may calibrate its speed at start-up, and should not do so against another one.
  const slots = [];
  for (let k = 0; k < args.concurrency; k++) {
    const pair = ['engine1', 'engine2'].map((label) => new Engine({
      command: commands[label], label, options: options[label], ponder: args.ponder,
      verbose: args.verbose, stats: tallies[label], log, cwd: engineDirectory(args, label, k),
    }));
    for (const e of pair) {
      e.start();
      await e.handshake();
    }
    slots.push(pair);
  }
  const [first1, first2] = slots[0];
  fs.writeFileSync(args.pgn, '');
  console.log(`${first1.name} vs ${first2.name}: ${args.games} games at ` +
      `${args.baseMs / 1000}+${args.incMs / 1000}, overhead allowance ${args.overhead} ms` +
      (args.ponder ? ', pondering' : '') + (args.concurrency > 1 ? `, ${args.concurrency} at a time` : '') +
      (args.sprt ? `, SPRT elo0 ${args.sprt.elo0} elo1 ${args.sprt.elo1} alpha ${args.sprt.alpha} beta ${args.sprt.beta}` : ''));

  // Games are handed out in order; each slot plays its next game when it has finished one. Once
  // the SPRT has decided, games already started are played out and no new one is begun.
  let nextGame = 0;
  let finished = 0;
  let decided = null;   // 'H1', 'H0', or 'failed' when an engine could not be restarted
  let decidedAt = null;  // the SPRT state when a bound was crossed
  const tally = { wins: 0, draws: 0, losses: 0 };  // engine 1's view
  const runSlot = async (engines) => {
    while (nextGame < args.games && !decided) {
      const g = nextGame++;
      // A process that crashed or hung in the last game starts afresh.
      for (const e of engines) {
        if (!e.alive) {
          e.start();
          await e.handshake();
        }
      }
      const opening = openings[(Math.floor(g / 2) + args.skipOpenings) % openings.length];
      const [white, black] = g % 2 === 0 ? engines : [engines[1], engines[0]];
      const r = await playGame(args, white, black, opening, g + 1);
      fs.appendFileSync(args.pgn, r.pgn);
      const winner = r.loser === 'w' ? black : r.loser === 'b' ? white : null;
      const loser = winner === white ? black : winner === black ? white : null;
      if (winner) {
        winner.stats.wins++;
        loser.stats.losses++;
        if (winner === engines[0]) tally.wins++;
        else tally.losses++;
      } else {
        white.stats.draws++;
        black.stats.draws++;
        tally.draws++;
      }
      finished++;
      console.log(`game ${g + 1}: ${white.name} - ${black.name} ${r.result} (${r.reason}), ` +
          `${r.plies} plies, opening: ${opening.label}`);
      console.log(`  after ${finished} games: ${standing(tally, args.sprt)}`);
      if (args.sprt && !decided) {
        const t = stats.sprtStatus(tally.wins, tally.draws, tally.losses, args.sprt);
        if (t.decision) {
          decided = t.decision;
          decidedAt = { ...t, games: finished };
        }
      }
    }
  };
  let failure = null;
  await Promise.all(slots.map((engines) => runSlot(engines).catch((err) => {
    // An engine that cannot be started again ends the match: no slot begins another game.
    failure = failure || err;
    decided = decided || 'failed';
  })));
  for (const engines of slots) for (const e of engines) await e.stop();
  log.close();
  if (failure) throw failure;

  console.log('');
  const [a, b] = [first1, first2];
  const score = tally.wins + tally.draws / 2;
  const share = score / finished;
  const elo = share > 0 && share < 1 ? `, Elo difference about ${Math.round(-400 * Math.log10(1 / share - 1))}` : '';
  console.log(`score ${a.name} ${score} - ${finished - score} ${b.name} (${(100 * share).toFixed(1)}%${elo})`);
  const sum = stats.summarize(tally.wins, tally.draws, tally.losses);
  console.log(`W/D/L of engine1 ${tally.wins}/${tally.draws}/${tally.losses} of ${finished} games, ` +
      `score ${(100 * sum.score).toFixed(1)}%, Elo ${stats.formatElo(sum.elo)} +/- ` +
      `${Number.isFinite(sum.eloError) ? sum.eloError.toFixed(1) : 'inf'} ` +
      `(95%: ${stats.formatElo(sum.eloLow)} .. ${stats.formatElo(sum.eloHigh)})`);
  if (args.sprt) {
    // The verdict is the one reached when a bound was crossed; games that were still being
    // played then are in the totals above and in the final LLR, but do not change it.
    const t = decidedAt || stats.sprtStatus(tally.wins, tally.draws, tally.losses, args.sprt);
    const verdict = t.decision === 'H1' ? 'H1 accepted' : t.decision === 'H0' ? 'H0 accepted' : 'inconclusive';
    let line = `SPRT: ${verdict} (elo0 ${args.sprt.elo0}, elo1 ${args.sprt.elo1}, ` +
        `alpha ${args.sprt.alpha}, beta ${args.sprt.beta}): LLR ${t.llr.toFixed(3)}, ` +
        `bounds [${t.lower.toFixed(3)}, ${t.upper.toFixed(3)}]`;
    if (decidedAt) {
      line += `, after ${decidedAt.games} games`;
      if (finished > decidedAt.games) {
        const end = stats.sprtStatus(tally.wins, tally.draws, tally.losses, args.sprt);
        line += ` (${finished} with the games in progress then, LLR ${end.llr.toFixed(3)})`;
      }
    } else {
      line += `, ${finished} of at most ${args.games} games`;
    }
    console.log(line);
  }
  for (const e of [a, b]) {
    const s = e.stats;
    const average = s.moves ? (s.thinkMs / s.moves).toFixed(0) : '-';
    const least = s.leastLeftMs === Infinity ? '-' : `${Math.round(s.leastLeftMs)} ms`;
    console.log(`${e.label} ${e.name}: +${s.wins} =${s.draws} -${s.losses}; ` +
        `illegal moves ${s.illegal}, time losses ${s.timeLosses}, no reply ${s.noReply}, ` +
        `crashes ${s.crashes}, stray bestmove lines ${s.stray}; ` +
        `${s.moves} moves, average ${average} ms, longest ${s.longestMs.toFixed(0)} ms, ` +
        `least clock left ${least}` +
        (args.ponder ? `; ponder hits ${s.ponderHits}/${s.ponders}, illegal ponder moves ${s.badPonderMoves}` : ''));
  }
  console.log(`games written to ${args.pgn}` + (args.log ? `, engine lines to ${args.log}` : ''));
  const s1 = a.stats;
  const faults = s1.illegal + s1.timeLosses + s1.noReply + s1.crashes + s1.stray;
  process.exit(faults > 0 ? 1 : 0);
}

if (require.main === module) {
  main().catch((err) => {
    console.error(`referee: ${err.message}`);
    process.exit(2);
  });
}

module.exports = { loadOpenings, playCoordinateMove, START_FEN };
