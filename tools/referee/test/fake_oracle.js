#!/usr/bin/env node
// A stand-in oracle for the blunder finder: answers every "go" at once with a scripted score
// for the position, from the side to move's view. The script (a JSON file, first argument) is
// { "default": CP, "scores": { "POSITION": CP or "mate N" } }, POSITION being the text of the
// "position" command after "position " ("startpos moves e2e4 e7e5"). Every position it was
// asked about is appended to the file named by the second argument, if given.
'use strict';
const fs = require('fs');
const readline = require('readline');

const script = JSON.parse(fs.readFileSync(process.argv[2], 'utf8'));
const record = process.argv[3];
let position = 'startpos';
const out = (line) => process.stdout.write(line + '\n');

readline.createInterface({ input: process.stdin }).on('line', (line) => {
  const text = line.trim();
  const word = text.split(/\s+/)[0];
  if (word === 'uci') return out('id name Fake oracle'), out('uciok');
  if (word === 'isready') return out('readyok');
  if (word === 'position') return (position = text.slice('position '.length));
  if (word === 'go') {
    if (record) fs.appendFileSync(record, `${position}\t${text}\n`);
    const value = position in script.scores ? script.scores[position] : script.default;
    const score = typeof value === 'string' ? value : `cp ${value}`;
    // A bound first, as real engines send while they search: only the last exact score counts.
    out('info depth 1 score cp 9999 lowerbound nodes 1');
    out(`info depth 2 score ${score} nodes 2`);
    return out('bestmove 0000');
  }
  if (word === 'quit') process.exit(0);
});
