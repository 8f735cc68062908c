#!/usr/bin/env node
// Widens an opening file: every line is extended by a few plies, at each ply by every move an
// oracle engine rates close to its best and that keeps the position near equality. A fixed-node
// match replays the same game whenever an opening and the colours repeat, so a test of several
// hundred games needs several hundred distinct openings to be worth its count.
//
//   node widen_openings.js --oracle /usr/games/stockfish --in openings-balanced.txt \
//     --out openings-wide.txt [--plies 2] [--depth 12] [--width 3] [--spread 30] [--limit 60]
'use strict';

const fs = require('fs');
const path = require('path');
const { UciProcess } = require('./uci_process');
const { loadOpenings } = require('./referee');

function parseArgs(argv) {
  const a = { plies: 2, depth: 12, width: 3, spread: 30, limit: 60 };
  for (let i = 0; i < argv.length; i += 2) {
    const key = argv[i].replace(/^--/, ''), value = argv[i + 1];
    a[key] = ['oracle', 'in', 'out'].includes(key) ? value : Number(value);
  }
  if (!a.oracle || !a.in || !a.out) throw new Error('need --oracle, --in and --out');
  return a;
}

// The oracle's candidate moves after `moves`: [{ move, score }] with the score in centipawns
// for the side to move (a mate counts as far beyond any limit).
async function candidates(oracle, moves, args) {
  const best = new Map();
  oracle.send(`position startpos moves ${moves.join(' ')}`);
  oracle.send(`go depth ${args.depth}`);
  // The last exact score of each line counts (later reports are deeper); bounds are skipped.
  const collect = (line) => {
    const m = line.match(/ multipv (\d+) score (cp|mate) (-?\d+)( lowerbound| upperbound)?.* pv (\S+)/);
    if (m && !m[4]) {
      best.set(Number(m[1]), { move: m[5], score: m[2] === 'cp' ? Number(m[3]) : Math.sign(Number(m[3])) * 100000 });
    }
    return line.startsWith('bestmove');
  };
  const reply = await oracle.waitFor(collect, 120000);
  if (!reply.line) throw new Error(`oracle: ${oracle.describeFailure(reply)}`);
  return [...best.values()];
}

async function main() {
  const args = parseArgs(process.argv.slice(2));
  const source = path.isAbsolute(args.in) || fs.existsSync(args.in) ? args.in : path.join(__dirname, args.in);
  const lines = loadOpenings(source).filter((o) => o.moves.length > 0);
  const oracle = new UciProcess(args.oracle);
  oracle.start();
  oracle.send('uci');
  await oracle.waitFor((l) => l === 'uciok', 30000);
  oracle.send(`setoption name MultiPV value ${args.width}`);
  oracle.send('setoption name Threads value 1');
  oracle.send('isready');
  await oracle.waitFor((l) => l === 'readyok', 30000);

  const out = [
    `# ${path.basename(source)} widened by ${args.plies} plies: at each ply every move among the oracle's`,
    `# ${args.width} best (depth ${args.depth}) within ${args.spread} cp of the best, keeping |score| <= ${args.limit} cp.`,
    `# Written by widen_openings.js; oracle ${path.basename(args.oracle)}.`,
  ];
  const families = [];
  for (const opening of lines) {
    let frontier = [opening.moves];
    for (let ply = 0; ply < args.plies; ++ply) {
      const next = [];
      for (const moves of frontier) {
        const cands = await candidates(oracle, moves, args);
        const top = Math.max(...cands.map((c) => c.score));
        for (const c of cands) {
          if (c.score >= top - args.spread && Math.abs(c.score) <= args.limit) next.push([...moves, c.move]);
        }
      }
      frontier = next;
    }
    families.push(frontier);
  }
  // Round and round the source lines, so that the first N openings of the file (a match of 2N
  // games) spread over every opening family instead of the first few.
  let count = 0;
  for (let i = 0; count < families.reduce((n, f) => n + f.length, 0); ++i) {
    for (const family of families) if (i < family.length) out.push(family[i].join(' ')), ++count;
  }
  await oracle.stop();
  fs.writeFileSync(args.out, out.join('\n') + '\n');
  console.log(`${count} openings from ${lines.length} lines written to ${args.out}`);
}

if (require.main === module) {
  main().catch((e) => {
    console.error(e.message);
    process.exit(1);
  });
}
