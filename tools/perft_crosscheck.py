#!/usr/bin/env python3
"""Cross-checks the engine's perft against another UCI engine's ("go perft", e.g. Stockfish from
Debian's packages) over positions reached by random legal moves from a few start positions.

usage: tools/perft_crosscheck.py ENGINE ORACLE [GAMES] [DEPTH] [SEED]
  e.g. tools/perft_crosscheck.py build/engine /usr/games/stockfish 300 3 7
"""
import random
import subprocess
import sys

STARTS = [
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
]


class Oracle:
    def __init__(self, path):
        self.proc = subprocess.Popen([path], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     text=True, bufsize=1)

    def ask(self, lines, until):
        for line in lines:
            self.proc.stdin.write(line + "\n")
        self.proc.stdin.flush()
        out = []
        while True:
            line = self.proc.stdout.readline()
            if not line:
                sys.exit("oracle ended")
            out.append(line.rstrip("\n"))
            if out[-1].startswith(until):
                return out

    @staticmethod
    def position(fen, moves):
        return "position fen " + fen + (" moves " + " ".join(moves) if moves else "")

    def perft(self, fen, moves, depth):
        out = self.ask([self.position(fen, moves), "go perft %d" % depth], "Nodes searched")
        roots = [line.split(":")[0] for line in out if ": " in line and not line.startswith("Nodes")]
        return int(out[-1].split(":")[1]), roots

    def fen(self, fen, moves):
        for line in self.ask([self.position(fen, moves), "d"], "Checkers"):
            if line.startswith("Fen:"):
                return line[4:].strip()
        sys.exit("oracle gave no FEN")


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    engine, oracle = sys.argv[1], Oracle(sys.argv[2])
    games = int(sys.argv[3]) if len(sys.argv) > 3 else 100
    depth = int(sys.argv[4]) if len(sys.argv) > 4 else 3
    random.seed(int(sys.argv[5]) if len(sys.argv) > 5 else 1)
    mismatches = 0
    for _ in range(games):
        start, moves = random.choice(STARTS), []
        for _ in range(random.randint(5, 60)):
            _, legal = oracle.perft(start, moves, 1)
            if not legal:
                break
            moves.append(random.choice(legal))
        fen = oracle.fen(start, moves)
        want, _ = oracle.perft(fen, [], depth)
        out = subprocess.run([engine, "perft", str(depth)] + fen.split(),
                             capture_output=True, text=True).stdout.strip().splitlines()
        if not out or out[-1] != "nodes %d" % want:
            mismatches += 1
            print("mismatch:", fen, out[-1] if out else "(no output)", "want", want)
    print("positions %d mismatches %d" % (games, mismatches))
    sys.exit(1 if mismatches else 0)


if __name__ == "__main__":
    main()
