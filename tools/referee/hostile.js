#!/usr/bin/env node
// Hostile-input soak: sessions of the engine programs fed a random mix of what GUIs and users
// really send at the edges -- games thousands of plies long, lines over the size limit, tabs,
// malformed positions, "go" with odd or missing limits, infinite and ponder searches, absurd
// options, binary junk, odd learning files (a FIFO, a link to /dev/zero, a foreign file) --
// between ordinary games. Counts what must never happen: crashes, hangs, illegal or missing
// moves, an infinite search that ends by itself, a changed foreign file, an unclean exit.
//
//   node tools/referee/hostile.js [--engine PATH]... [--minutes 30] [--seed N]
//                                 [--fault-log FILE] [--verbose]
//
// Exit status 0 when every count is zero. Each session with a fault appends its UCI transcript
// (times in ms from the session's start) to the fault log, hostile-faults.log by default.
'use strict';

const crypto = require('crypto');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { execFileSync } = require('child_process');
const { Chess } = require('chess.js');
const { UciProcess } = require('./uci_process');

const START = 'rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1';
const MATE_IN_TWO = 'r2qkb1r/pp2nppp/3p4/2pNN1B1/2BnP3/3P4/PPP2PPP/R2bK2R w KQkq - 1 1';
const LINE_LIMIT = 1 << 20;

function parseArgs(argv) {
  const args = { engines: [], minutes: 30, seed: Date.now() % 100000, verbose: false, faultLog: 'hostile-faults.log' };
  for (let i = 2; i < argv.length; ++i) {
    const a = argv[i];
    if (a === '--engine') args.engines.push(path.resolve(argv[++i]));
    else if (a === '--minutes') args.minutes = Number(argv[++i]);
    else if (a === '--seed') args.seed = Number(argv[++i]);
    else if (a === '--fault-log') args.faultLog = argv[++i];
    else if (a === '--verbose') args.verbose = true;
    else {
      console.error('usage: hostile.js [--engine PATH]... [--minutes M] [--seed N] [--fault-log FILE] [--verbose]');
      process.exit(2);
    }
  }
  if (args.engines.length === 0) {
    const build = path.resolve(__dirname, '../../build');
    args.engines = [path.join(build, 'engine'), path.join(build, 'engine-mp')];
  }
  return args;
}

// A small seeded generator, so that a failing run can be repeated with its seed.
function makeRandom(seed) {
  let s = seed >>> 0 || 1;
  const next = () => {
    s ^= s << 13; s >>>= 0;
    s ^= s >>> 17;
    s ^= s << 5; s >>>= 0;
    return s / 4294967296;
  };
  return { next, int: (lo, hi) => lo + Math.floor(next() * (hi - lo + 1)), pick: (list) => list[Math.floor(next() * list.length)] };
}

function isLegal(fen, move) {
  if (!/^[a-h][1-8][a-h][1-8][qrbn]?$/.test(move)) return false;
  const board = new Chess(fen);
  return board.moves({ verbose: true }).some((m) => m.lan === move);
}

const counts = { sessions: 0, actions: 0, crashes: 0, hangs: 0, illegal: 0, earlyEnds: 0, damagedFiles: 0, uncleanExits: 0, faults: 0 };
const notes = [];
let current = null;  // the session running, whose transcript a fault keeps
function fault(kind, what) {
  counts[kind] += 1;
  if (current) current.faults.push(`${kind}: ${what}`);
  console.log(`  fault, ${kind}: ${what}`);
  if (notes.length < 50) notes.push(`${kind}: ${what}`);
}

class Session {
  constructor(program, dir, rnd, verbose) {
    this.rnd = rnd;
    this.program = program;
    this.lines = [];
    this.faults = [];
    this.transcript = [];  // the last lines both ways, written out if the session has a fault
    this.started = Date.now();
    this.engine = new UciProcess(program, {
      cwd: dir,
      onLine: (line) => { this.lines.push(line); this.log('<', line); if (verbose) console.log(`<< ${line.slice(0, 120)}`); },
      onSend: (line) => { this.log('>', line); if (verbose) console.log(`>> ${line.slice(0, 120)}`); },
    });
    this.fen = START;  // the position the engine should hold
    this.moves = [];
  }

  log(dir, line) {
    const ms = String(Date.now() - this.started).padStart(7);
    this.transcript.push(`${ms} ${dir} ${line.length > 300 ? line.slice(0, 300) + ` ... (${line.length} bytes)` : line}`);
    if (this.transcript.length > 2000) this.transcript.splice(0, 1000);
  }

  async expect(test, ms, what) {
    const r = await this.engine.waitFor(test, ms);
    if (r.exited) { fault('crashes', `${path.basename(this.program)}: ${this.engine.exitInfo} during ${what}`); return null; }
    if (r.timeout) {
      // What follows would only count the same fault again: the session ends here.
      fault('hangs', `${path.basename(this.program)}: no reply in ${ms} ms to ${what}`);
      this.engine.kill();
      return null;
    }
    return r.line;
  }

  // A Hash of gigabytes is zeroed before "readyok": allow for that on a slow machine.
  async ready(what, ms = 20000) {
    this.engine.send('isready');
    return (await this.expect((l) => l === 'readyok', ms, `isready after ${what}`)) !== null;
  }

  // Waits for the bestmove of the search just started and checks it against `fen`.
  async bestmove(fen, ms, what) {
    const line = await this.expect((l) => l.startsWith('bestmove'), ms, what);
    if (line === null) return null;
    return this.checkBestmove(fen, line, what);
  }

  checkBestmove(fen, line, what) {
    const move = line.split(/\s+/)[1];
    const noMoves = new Chess(fen).moves().length === 0;
    if (noMoves ? move !== '0000' : !isLegal(fen, move)) fault('illegal', `${what}: ${move} in ${fen}`);
    return move;
  }

  // A random game prefix, played by chess.js, set with "position startpos moves".
  setRandomGame(plies) {
    const board = new Chess();
    const moves = [];
    for (let i = 0; i < plies; ++i) {
      const legal = board.moves({ verbose: true });
      if (legal.length === 0) break;
      const m = this.rnd.pick(legal);
      board.move(m);
      moves.push(m.lan);
    }
    this.engine.send(`position startpos moves ${moves.join(' ')}`);
    this.fen = board.fen();
  }

  async start() {
    this.engine.start();
    this.engine.send('uci');
    return (await this.expect((l) => l === 'uciok', 15000, 'uci')) !== null;
  }

  async quit() {
    this.engine.send('quit');
    const r = await this.engine.waitFor(() => false, 8000);
    if (!r.exited) { fault('hangs', `${path.basename(this.program)}: no exit after quit`); this.engine.kill(); return; }
    if (this.engine.exitInfo !== 'exit code 0') fault('uncleanExits', `${path.basename(this.program)}: ${this.engine.exitInfo}`);
  }
}

// Each action sends something hostile or ordinary and checks the answer.
const actions = {
  async ordinaryGo(s) {
    s.setRandomGame(s.rnd.int(0, 60));
    const go = s.rnd.pick([`go movetime ${s.rnd.int(20, 300)}`, `go depth ${s.rnd.int(1, 6)}`, `go nodes ${s.rnd.int(100, 50000)}`,
      `go wtime ${s.rnd.int(100, 5000)} btime ${s.rnd.int(100, 5000)} winc 10 binc 10`]);
    s.engine.send(go);
    await s.bestmove(s.fen, 20000, go);
  },
  async selfPlayGame(s) {
    const board = new Chess();
    const moves = [];
    for (let ply = 0; ply < s.rnd.int(10, 50) && !board.isGameOver(); ++ply) {
      s.engine.send(`position startpos${moves.length ? ' moves ' + moves.join(' ') : ''}`);
      s.engine.send(`go nodes ${s.rnd.int(500, 5000)}`);
      const move = await s.bestmove(board.fen(), 20000, 'a self-play game');
      if (!move || !isLegal(board.fen(), move)) return;
      board.move({ from: move.slice(0, 2), to: move.slice(2, 4), promotion: move[4] });
      moves.push(move);
    }
    s.fen = board.fen();
  },
  async longGame(s) {
    const plies = s.rnd.pick([2001, 4003, 10000, 30001]);
    const cycle = ['g1f3', 'g8f6', 'f3g1', 'f6g8'];
    const moves = Array.from({ length: plies }, (_, i) => cycle[i % 4]);
    s.engine.send(`position startpos moves ${moves.join(' ')}`);
    const board = new Chess();
    for (let i = 0; i < plies % 4; ++i) board.move(cycle[i]);
    s.fen = board.fen();
    s.engine.send('go depth 3');
    await s.bestmove(s.fen, 30000, `go after a game of ${plies} plies`);
  },
  async overLongLine(s) {
    s.setRandomGame(s.rnd.int(1, 20));
    s.engine.send(`position startpos moves ${'e2e4 '.repeat(Math.ceil(LINE_LIMIT / 5) + 100)}`);
    if (!(await s.ready('a line over the limit'))) return;
    s.engine.send('go depth 2');
    await s.bestmove(s.fen, 20000, 'go after a refused line');
  },
  async infinite(s) {
    s.setRandomGame(s.rnd.int(0, 40));
    if (s.rnd.next() < 0.3) s.engine.send('position fen 8/8/4k3/8/8/4K3/8/8 w - - 0 1'), (s.fen = '8/8/4k3/8/8/4K3/8/8 w - - 0 1');
    s.engine.send(s.rnd.pick(['go infinite', 'go infinite searchmoves e2e4 d2d4', 'go ponder infinite']));
    const early = await s.engine.waitFor((l) => l.startsWith('bestmove'), s.rnd.int(100, 1500));
    if (early.exited) { fault('crashes', `${s.engine.exitInfo} in go infinite`); return; }
    if (!early.timeout) { fault('earlyEnds', `go infinite ended by itself in ${s.fen}`); return; }
    if (s.rnd.next() < 0.5 && !(await s.ready('isready during go infinite'))) return;
    s.engine.send('stop');
    await s.bestmove(s.fen, 5000, 'stop after go infinite');
  },
  async ponder(s) {
    s.setRandomGame(s.rnd.int(0, 40));
    s.engine.send('go ponder wtime 3000 btime 3000 winc 20 binc 20');
    await new Promise((r) => setTimeout(r, s.rnd.int(0, 400)));
    s.engine.send(s.rnd.pick(['ponderhit', 'stop']));
    await s.bestmove(s.fen, 10000, 'ponderhit or stop after go ponder');
  },
  async oddLimits(s) {
    s.setRandomGame(s.rnd.int(0, 30));
    const go = s.rnd.pick(['go nodes 0', 'go nodes -5', 'go', 'go searchmoves', 'go depth 0', 'go movetime 0',
      'go wtime 0 btime 0', 'go movestogo 0 wtime 500 btime 500']);
    s.engine.send(go);
    await s.bestmove(s.fen, 30000, go);
  },
  async mateSearch(s) {
    s.engine.send(`position fen ${MATE_IN_TWO}`);
    s.fen = MATE_IN_TWO;
    s.engine.send('go mate 2');
    await s.bestmove(s.fen, 30000, 'go mate 2');
  },
  async searchmovesWithoutLimits(s) {
    s.setRandomGame(s.rnd.int(0, 30));
    const legal = new Chess(s.fen).moves({ verbose: true });
    if (legal.length === 0) return;
    const only = s.rnd.pick(legal).lan;
    s.engine.send(`go searchmoves ${only}`);
    const move = await s.bestmove(s.fen, 30000, `go searchmoves ${only}`);
    if (move && move !== only) fault('faults', `searchmoves ${only} answered ${move}`);
  },
  async malformedPositions(s) {
    s.setRandomGame(s.rnd.int(1, 30));
    s.engine.send(s.rnd.pick([
      'position fen rnbqkbnr/ppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1',
      'position fen rnbqkbnr/ppppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1',
      'position fen 8/8/8/8/8/8/8/8 w - - 0 1', 'position fen', 'position xyz', 'position',
      'position fen k7/8/8/8/8/8/8/7K x - - 0 1', `position fen ${'x'.repeat(5000)}`]));
    s.engine.send('go depth 2');
    await s.bestmove(s.fen, 20000, 'go after a malformed position');
  },
  async tabsAndJunk(s) {
    const junk = [Buffer.from([0x80, 0xff, 0x00, 0x01, 0x7f]).toString('latin1'), '\t\t', 'GO', 'stop', 'ponderhit',
      'setoption', 'setoption name', 'isready\u0000go depth 1', 'x'.repeat(20000)];
    for (let i = 0; i < 5; ++i) s.engine.send(s.rnd.pick(junk));
    s.engine.send('position\tstartpos\tmoves\te2e4');
    s.fen = 'rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1';
    s.engine.send('go\tdepth\t2');
    await s.bestmove(s.fen, 20000, 'tab-separated go');
  },
  async options(s) {
    const lines = ['setoption name Threads value 8', 'setoption name Threads value 100', 'setoption name Threads value -1',
      'setoption name Threads value 1', 'setoption name Hash value 99999', 'setoption name Hash value 1',
      'setoption name Hash value 16', 'setoption name NalimovPath value  /nonexistent ;  /tmp  ',
      'setoption name NalimovPath value', 'setoption name NalimovPath value <empty>', 'setoption name MultiPV value 3',
      'setoption name MultiPV value 1', 'setoption name UCI_LimitStrength value true',
      'setoption name UCI_LimitStrength value false', 'setoption name Position Learning value true',
      'setoption name Position Learning value false', 'setoption name Clear Hash', 'ucinewgame', 'debug on', 'debug off'];
    for (let i = 0; i < 4; ++i) s.engine.send(s.rnd.pick(lines));
    await s.ready('options', 120000);
    s.engine.send('setoption name UCI_LimitStrength value false');
    s.engine.send('setoption name MultiPV value 1');
  },
  async finishedGames(s) {
    const fen = s.rnd.pick(['7k/6Q1/6K1/8/8/8/8/8 b - - 0 1', '7k/5Q2/6K1/8/8/8/8/8 b - - 0 1']);
    s.engine.send(`position fen ${fen}`);
    s.fen = fen;
    s.lines = [];
    s.engine.send('go depth 4');
    const move = await s.bestmove(fen, 10000, 'go in a finished game');
    if (move === '0000' && !s.lines.some((l) => /^info depth 0 score (mate 0|cp 0)$/.test(l)))
      fault('faults', `no score line before bestmove 0000 in ${fen}`);
  },
  async isreadyBurst(s) {
    s.setRandomGame(s.rnd.int(0, 40));
    s.lines = [];
    s.engine.send('go movetime 1000');
    for (let i = 0; i < 5; ++i) {
      s.engine.send('isready');
      if ((await s.expect((l) => l === 'readyok', 3000, 'isready during a search')) === null) return;
    }
    // A finished game or a single legal move ends the search at once, so the bestmove may
    // already have come between the readyok lines, where the waits above pass over it.
    const early = s.lines.find((l) => l.startsWith('bestmove'));
    if (early !== undefined) s.checkBestmove(s.fen, early, 'go movetime 1000 with isready');
    else await s.bestmove(s.fen, 10000, 'go movetime 1000 with isready');
  },
};

// The learning file the engine finds in its working directory.
function prepareLearningFile(dir, rnd) {
  const file = path.join(dir, 'tarrow.pl2');
  const kind = rnd.pick(['none', 'fifo', 'devzero', 'foreign', 'text']);
  if (kind === 'fifo') execFileSync('mkfifo', [file]);
  else if (kind === 'devzero') fs.symlinkSync('/dev/zero', file);
  else if (kind === 'foreign') fs.writeFileSync(file, crypto.randomBytes(rnd.int(1, 5000)));
  else if (kind === 'text') fs.writeFileSync(file, 'not a learning file\n'.repeat(rnd.int(1, 50)));
  const digest = kind === 'foreign' || kind === 'text' ? crypto.createHash('sha256').update(fs.readFileSync(file)).digest('hex') : null;
  return { file, kind, digest };
}

function checkLearningFile(learning) {
  const { file, kind, digest } = learning;
  if (kind === 'fifo' && !fs.lstatSync(file).isFIFO()) fault('damagedFiles', 'the FIFO was replaced');
  if (kind === 'devzero' && !fs.lstatSync(file).isSymbolicLink()) fault('damagedFiles', 'the link to /dev/zero was replaced');
  if (digest) {
    const now = fs.existsSync(file) ? crypto.createHash('sha256').update(fs.readFileSync(file)).digest('hex') : 'gone';
    if (now !== digest) fault('damagedFiles', `a foreign learning file (${kind}) was changed`);
  }
}

async function main() {
  const args = parseArgs(process.argv);
  const rnd = makeRandom(args.seed);
  const end = Date.now() + args.minutes * 60000;
  const names = Object.keys(actions);
  console.log(`hostile soak: ${args.engines.map((e) => path.basename(e)).join(', ')}, ${args.minutes} min, seed ${args.seed}`);
  for (let round = 0; Date.now() < end; ++round) {
    const program = args.engines[round % args.engines.length];
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tarrow-hostile-'));
    const learning = prepareLearningFile(dir, rnd);
    const s = new Session(program, dir, rnd, args.verbose);
    current = s;
    counts.sessions += 1;
    if (await s.start()) {
      for (let i = 0; i < rnd.int(5, 25) && Date.now() < end && s.engine.alive; ++i) {
        const name = rnd.pick(names);
        counts.actions += 1;
        await actions[name](s);
        if (!s.engine.alive) break;
      }
      if (s.engine.alive) await s.quit();
    }
    if (s.engine.alive) s.engine.kill();
    checkLearningFile(learning);
    current = null;
    if (s.faults.length > 0) {
      fs.appendFileSync(args.faultLog, `=== session ${counts.sessions} (${path.basename(program)}, learning file ${learning.kind}): ` +
          `${s.faults.join('; ')}\n${s.transcript.join('\n')}\n`);
    }
    fs.rmSync(dir, { recursive: true, force: true });
    if (round % 10 === 9) console.log(`  ${counts.sessions} sessions, ${counts.actions} actions, faults ${faultTotal()}`);
  }
  console.log(Object.entries(counts).map(([k, v]) => `${k} ${v}`).join(', '));
  for (const n of notes) console.log(`  ${n}`);
  process.exit(faultTotal() === 0 ? 0 : 1);
}

function faultTotal() {
  return counts.crashes + counts.hangs + counts.illegal + counts.earlyEnds + counts.damagedFiles + counts.uncleanExits + counts.faults;
}

main();
