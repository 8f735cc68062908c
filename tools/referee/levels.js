#!/usr/bin/env node
// The strength of the engine's "UCI_Elo" settings, from matches against an anchor engine whose
// own setting puts it on a known Elo scale (Stockfish with UCI_LimitStrength): each point is a
// setting of ours, the anchor's Elo in those games and the PGN files of the games. Prints one
// Markdown table row per point (setting, anchor, games, W/D/L, score, measured Elo on the
// anchor's scale with its 95% error, offset from the setting) and a weighted straight-line fit
// of measured Elo against the setting.
//
//   node tools/referee/levels.js [--engine NAME] SETTING:ANCHOR_ELO:FILE.pgn[,FILE.pgn]...  ...
//
// NAME (default "Tarrow") is the start of our engine's name in the PGN White/Black tags.
'use strict';

const fs = require('fs');
const stats = require('./stats');

function usage(message) {
  if (message) console.error(`levels: ${message}`);
  console.error('usage: levels.js [--engine NAME] SETTING:ANCHOR_ELO:FILE.pgn[,FILE.pgn]... ...');
  process.exit(2);
}

// Wins, draws and losses of the engine named `name` in the games of one PGN text.
function tally(text, name, into) {
  for (const game of text.split(/\n(?=\[Event )/)) {
    const tag = (key) => (new RegExp(`\\[${key} "([^"]*)"\\]`).exec(game) || [])[1];
    const white = tag('White'), black = tag('Black'), result = tag('Result');
    if (!white || !black || !result || result === '*') continue;
    const side = white.startsWith(name) ? 'w' : black.startsWith(name) ? 'b' : null;
    if (side === null) continue;
    if (result === '1/2-1/2') into.draws += 1;
    else if ((result === '1-0') === (side === 'w')) into.wins += 1;
    else into.losses += 1;
  }
  return into;
}

// The 95% bound on the far side of a score too near 0 or 1 for the normal error bar: the
// error bar's own bound where it is finite, else the rule of three (no point won, or none
// lost, in n games puts the true share below 3/n, or above 1 - 3/n).
function oneSidedBound(r) {
  return {
    low: Number.isFinite(r.eloLow) ? r.eloLow : stats.eloFromScore(1 - 3 / r.n),
    high: Number.isFinite(r.eloHigh) ? r.eloHigh : stats.eloFromScore(3 / r.n),
  };
}

// Least-squares line y = a + b x with weights w; null with fewer than two points.
function weightedLine(points) {
  let sw = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (const { x, y, w } of points) { sw += w; sx += w * x; sy += w * y; sxx += w * x * x; sxy += w * x * y; }
  const det = sw * sxx - sx * sx;
  if (points.length < 2 || det === 0) return null;
  const b = (sw * sxy - sx * sy) / det;
  return { a: (sy - b * sx) / sw, b };
}

function main() {
  const args = process.argv.slice(2);
  let name = 'Tarrow';
  const points = [];
  for (let i = 0; i < args.length; ++i) {
    if (args[i] === '--engine') name = args[++i];
    else if (args[i] === '--help' || args[i] === '-h') usage();
    else points.push(args[i]);
  }
  if (!name) usage('--engine needs a name');
  if (points.length === 0) usage('no points given');

  const rows = [];
  for (const point of points) {
    const m = /^(\d+):(\d+):(.+)$/.exec(point);
    if (!m) usage(`bad point ${point}`);
    const counts = { wins: 0, draws: 0, losses: 0 };
    for (const file of m[3].split(',')) tally(fs.readFileSync(file, 'utf8'), name, counts);
    const s = stats.summarize(counts.wins, counts.draws, counts.losses);
    rows.push({ setting: Number(m[1]), anchor: Number(m[2]), ...s });
  }

  console.log('| setting | anchor | games | W/D/L | score | measured Elo (95%) | measured - setting |');
  console.log('|---|---|---|---|---|---|---|');
  const fitPoints = [];
  for (const r of rows.sort((p, q) => p.setting - q.setting)) {
    const measured = r.anchor + r.elo;
    const finite = Number.isFinite(r.elo) && Number.isFinite(r.eloError);
    const shown = finite ? `${Math.round(measured)} +/- ${Math.round(r.eloError)}`
                         : r.elo > 0 ? `above ${Math.round(r.anchor + oneSidedBound(r).low)}`
                                     : `below ${Math.round(r.anchor + oneSidedBound(r).high)}`;
    const offset = Number.isFinite(r.elo) ? `${measured >= r.setting ? '+' : ''}${Math.round(measured - r.setting)}` : '-';
    console.log(`| ${r.setting} | ${r.anchor} | ${r.n} | ${r.wins}/${r.draws}/${r.losses} | ` +
                `${(100 * r.score).toFixed(1)}% | ${shown} | ${offset} |`);
    if (finite) fitPoints.push({ x: r.setting, y: measured, w: 1 / (r.eloError * r.eloError) });
  }
  const line = weightedLine(fitPoints);
  if (line) {
    console.log('');
    console.log(`fit, weighted by 1/error^2 over ${fitPoints.length} points: measured = ` +
                `${Math.round(line.a + 1000 * line.b)} + ${line.b.toFixed(3)} x (setting - 1000)`);
  }
}

if (require.main === module) main();

module.exports = { tally, weightedLine };
