#!/usr/bin/env node
// A stand-in UCI engine for checking the referee: plays the first legal move at once, and at
// its move number N (second argument, default 3) misbehaves as the first argument says:
// "illegal" (an impossible move), "crash" (exits), "hang" (never answers), "slow" (answers
// 300 ms after its clock ran out), "double" (two bestmove lines), "early" (ends a ponder
// search at once instead of waiting for "ponderhit" or "stop"), "fine" (never misbehaves).
// It names the first legal reply as its ponder move and ponders when asked to.
'use strict';
const readline = require('readline');
const { Chess } = require('chess.js');

const mode = process.argv[2] || 'fine';
const faultAt = parseInt(process.argv[3] || '3', 10);
let board = new Chess();
let movesMade = 0;
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
  const clock = parseInt(tokens[tokens.indexOf(board.turn() === 'w' ? 'wtime' : 'btime') + 1], 10);
  const move = board.moves({ verbose: true })[0].lan;
  if (movesMade !== faultAt || mode === 'fine' || mode === 'early') return out(reply(move));
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
