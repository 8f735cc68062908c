#!/usr/bin/env node
// A stand-in UCI engine for checking the referee: plays the first legal move at once, and at
// its move number N (second argument, default 3) misbehaves as the first argument says:
// "illegal" (an impossible move), "crash" (exits), "hang" (never answers), "slow" (answers
// 300 ms after its clock ran out), "double" (two bestmove lines), "early" (ends a ponder
// search at once instead of waiting for "ponderhit" or "stop"), "fine" (never misbehaves).
// Two more modes make results and move choices that tests can steer:
// "pattern" (second argument a string such as "LDD"): in the k-th game of the process it plays
//   an illegal first move if letter k (round and round) is L, and plays fine otherwise;
// "stateful" (second argument K): plays the first legal move in its first K searches since the
//   process started and the last legal move after that, so a search depends on what the same
//   process did before, across "ucinewgame" -- the kind of fault a replay of the whole command
//   sequence reproduces and a search of the bare position does not.
// It names the first legal reply as its ponder move and ponders when asked to.
'use strict';
const readline = require('readline');
const { Chess } = require('chess.js');

const mode = process.argv[2] || 'fine';
const faultAt = parseInt(process.argv[3] || '3', 10);
const pattern = mode === 'pattern' ? process.argv[3] || 'L' : '';
let board = new Chess();
let movesMade = 0;
let gamesStarted = 0;
let searchesInGame = 0;
let pondering = null;  // the "go ponder" tokens while a ponder search waits

const out = (line) => process.stdout.write(line + '\n');

function setPosition(tokens) {
  let i = 1;
  if (tokens[i] === 'startpos') {
    board = new Chess();
    i++;
  } else if (tokens[i] === 'fen') {
    const end = tokens.indexOf('moves');
    board = new Chess(tokens.slice(2, end < 0 ? undefined : end).join(' '));
    i = end < 0 ? tokens.length : end;
  }
  if (tokens[i] === 'moves')
    for (const mv of tokens.slice(i + 1))
      board.move({ from: mv.slice(0, 2), to: mv.slice(2, 4), promotion: mv[4] });
}

function reply(move) {
  board.move(move);
  const answers = board.moves({ verbose: true });
  board.undo();
  return answers.length ? `bestmove ${move} ponder ${answers[0].lan}` : `bestmove ${move}`;
}

function go(tokens) {
  if (tokens.includes('ponder')) {
    pondering = tokens;
    if (mode === 'early') out(reply(board.moves({ verbose: true })[0].lan));
    return;
  }
  movesMade++;
  searchesInGame++;
  const clock = parseInt(tokens[tokens.indexOf(board.turn() === 'w' ? 'wtime' : 'btime') + 1], 10);
  const legal = board.moves({ verbose: true });
  const move = (mode === 'stateful' && movesMade > faultAt ? legal[legal.length - 1] : legal[0]).lan;
  out(`info depth ${searchesInGame} score cp ${movesMade} nodes 1 pv ${move}`);
  if (mode === 'pattern') {
    const lose = pattern[(gamesStarted - 1 + pattern.length) % pattern.length] === 'L';
    return out(lose && searchesInGame === 1 ? 'bestmove a1a1' : reply(move));
  }
  if (movesMade !== faultAt || ['fine', 'early', 'stateful'].includes(mode)) return out(reply(move));
  switch (mode) {
    case 'illegal': return out('bestmove a1a1');
    case 'crash': return process.exit(3);
    case 'hang': return;
    case 'slow': return setTimeout(() => out(`bestmove ${move}`), clock + 300);
    case 'double': out(reply(move)); return out(reply(move));
  }
}

readline.createInterface({ input: process.stdin }).on('line', (line) => {
  const tokens = line.trim().split(/\s+/);
  switch (tokens[0]) {
    case 'uci': out(`id name Fake ${mode}`); return out('uciok');
    case 'isready': return out('readyok');
    case 'ucinewgame':
      gamesStarted++;
      searchesInGame = 0;
      return;
    case 'position': return setPosition(tokens);
    case 'go': return go(tokens);
    case 'ponderhit':
      if (!pondering) return;
      const hit = pondering.filter((t) => t !== 'ponder');
      pondering = null;
      return mode === 'early' ? undefined : go(hit);
    case 'stop':
      if (!pondering) return;
      pondering = null;
      return mode === 'early' ? undefined : out(`bestmove ${board.moves({ verbose: true })[0].lan}`);
    case 'quit': return process.exit(0);
  }
});
