// The referee's UCI log: every line sent to and received from every engine process, so that
// the exact command sequence of any game can be played again into a fresh process.
//
// One entry per line, tab-separated:
//
//   ms  game  engine  process  side  dir  name  text
//
// ms      milliseconds since the referee started (monotonic clock)
// game    the game number, or "-" outside a game (start-up handshake, quit)
// engine  engine1 or engine2 (the command-line slot); "-" for match notes
// process p1, p2, ...: one per engine process started, so a restarted engine gets a new one
// side    w or b in a game, "-" outside
// dir     send (referee to engine), recv (engine to referee) or note (the referee's own record:
//         the command of each process, its working directory, each move it accepted, results)
// name    the engine's name as it reported it ("id name"), or its command before that
// text    the line itself
//
// The notes "move PLY MOVE" (PLY counts from the game's first position, including the
// opening) tell a replay which "bestmove" became which move of the game.
'use strict';

const fs = require('fs');

const HEADER = '# referee UCI log; fields: ms game engine process side dir name text\n';

class LogWriter {
  constructor(file) {
    this.file = file;
    this.fd = file ? fs.openSync(file, 'w') : null;
    this.t0 = process.hrtime.bigint();
    if (this.fd !== null) fs.writeSync(this.fd, HEADER);
  }

  // time: a process.hrtime.bigint() value (when the line arrived), or now.
  write(fields, dir, text, time) {
    if (this.fd === null) return;
    const ms = Number((time || process.hrtime.bigint()) - this.t0) / 1e6;
    const row = [ms.toFixed(1), fields.game ?? '-', fields.engine ?? '-', fields.process ?? '-',
      fields.side ?? '-', dir, fields.name ?? '-', text];
    // Written at once, so that the log is complete up to the moment the referee stops.
    fs.writeSync(this.fd, row.join('\t') + '\n');
  }

  close() {
    if (this.fd !== null) fs.closeSync(this.fd);
    this.fd = null;
  }
}

function parseLog(text) {
  const entries = [];
  for (const line of text.split('\n')) {
    if (!line || line.startsWith('#')) continue;
    const f = line.split('\t');
    if (f.length < 8) continue;
    entries.push({
      ms: parseFloat(f[0]),
      game: f[1] === '-' ? null : parseInt(f[1], 10),
      engine: f[2], process: f[3], side: f[4], dir: f[5], name: f[6],
      text: f.slice(7).join('\t'),
    });
  }
  return entries;
}

// What the referee waited for after a line it sent, judged by the replies that came before its
// next line to the same process: the replay must wait at the same places, or a command would
// reach the engine while it is still searching where the original one was idle.
function replyAwaited(replies) {
  for (const r of replies) {
    if (r === 'uciok' || r === 'readyok') return r;
    if (r.startsWith('bestmove')) return 'bestmove';
  }
  return null;
}

// The steps that replay what one process received: [{ send, await, reply, nodes }], where
// `await` is null, 'uciok', 'readyok' or 'bestmove', `reply` the original reply awaited and
// `nodes` the last node count the engine reported for that step (null if it reported none).
//
// entries  parsed log
// proc     the process id ("p3")
// game     the game to replay; its lines are taken up to the note of move `ply`, or to its end
// ply      the move of interest (optional)
// scope    'game': the process's start-up lines (before its first game) and then this game
//          only; 'process': everything the process received from its start, earlier games
//          included (state such as kept hash tables may carry over between games).
function replaySteps(entries, proc, game, ply, scope = 'game') {
  const mine = entries.filter((e) => e.process === proc);
  let end = mine.length;
  if (ply != null) {
    const at = mine.findIndex((e) => e.game === game && e.dir === 'note' && e.text.split(' ')[0] === 'move' &&
      parseInt(e.text.split(' ')[1], 10) === ply);
    if (at < 0) throw new Error(`the log has no move ${ply} of game ${game} for process ${proc}`);
    end = at;
  } else {
    const last = mine.map((e) => e.game).lastIndexOf(game);
    if (last < 0) throw new Error(`the log has no line of game ${game} for process ${proc}`);
    end = last + 1;
  }
  const firstGame = mine.findIndex((e) => e.game !== null);
  const taken = mine.slice(0, end).filter((e, i) =>
    scope === 'process' || e.game === game || (e.game === null && (firstGame < 0 || i < firstGame)));
  const steps = [];
  for (const e of taken) {
    if (e.dir === 'send') steps.push({ send: e.text, replies: [] });
    else if (e.dir === 'recv' && steps.length) steps[steps.length - 1].replies.push(e.text);
  }
  return steps.map((s) => {
    const awaited = replyAwaited(s.replies);
    const reply = awaited && s.replies.find((r) => r === awaited || r.startsWith(awaited));
    let nodes = null;
    for (const r of s.replies) {
      const m = r.match(/^info\b.*\bnodes (\d+)/);
      if (m) nodes = parseInt(m[1], 10);
    }
    return { send: s.send, await: awaited, reply, nodes };
  });
}

// The notes of one game: { proc: { w, b }, engine: { w, b }, moves: [{ ply, move, side }] }.
function gameInfo(entries, game) {
  const info = { proc: {}, engine: {}, name: {}, moves: [] };
  for (const e of entries) {
    if (e.game !== game) continue;
    if (e.side === 'w' || e.side === 'b') {
      info.proc[e.side] = info.proc[e.side] || e.process;
      info.engine[e.side] = info.engine[e.side] || e.engine;
      if (e.dir !== 'send' || e.text !== 'uci') info.name[e.side] = e.name;
    }
    if (e.dir === 'note') {
      const [kind, ply, move] = e.text.split(' ');
      if (kind === 'move') info.moves.push({ ply: parseInt(ply, 10), move, side: e.side });
    }
  }
  return info;
}

// The command and working directory a process was started with (from its notes).
function processStart(entries, proc) {
  const start = { command: null, cwd: null };
  for (const e of entries) {
    if (e.process !== proc || e.dir !== 'note') continue;
    if (e.text.startsWith('command ')) start.command = e.text.slice(8);
    if (e.text.startsWith('cwd ')) start.cwd = e.text.slice(4);
  }
  return start;
}

module.exports = { LogWriter, parseLog, replaySteps, replyAwaited, gameInfo, processStart };
