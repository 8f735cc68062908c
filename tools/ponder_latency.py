#!/usr/bin/env python3
# How long after "ponderhit" the engine answers when its clock is nearly empty: the pondering
# search must notice the command within a few milliseconds, or the move is late. Plays a
# rook-ending position from a soak game, "go ponder" with 36 ms on Black's clock, "ponderhit"
# after 35 ms, and prints the delay to "bestmove" of each try.
#   tools/ponder_latency.py build/engine-mp [TRIES]
import subprocess, time, sys
eng = sys.argv[1]; trials = int(sys.argv[2]) if len(sys.argv) > 2 else 10
p = subprocess.Popen([eng], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1)
def send(s): p.stdin.write(s + "\n"); p.stdin.flush()
def wait(prefix):
    while True:
        l = p.stdout.readline()
        if l.startswith(prefix): return l
send("uci"); wait("uciok"); send("setoption name Ponder value true"); send("setoption name Position Learning value false"); send("isready"); wait("readyok")
moves = "e2e4 e7e5 g1f3 b8c6 f1b5 a7a6 b5c4 d7d6 d2d3 c6a5 c1g5 f8e7 g5e7 g8e7 b1d2 e8g8 d1e2 e7g6 e1c1 g6f4 e2f1 a5c4 d2c4 c8e6 d3d4 e5d4 f3d4 d8g5 d4e6 f7e6 c4e3 g5a5 g2g3 f4g6 f1c4 f8f2 c4e6 g8h8 h1f1 f2h2 e3f5 a5c5 d1d2 h2d2 c1d2 g6e5 e6d5 c5b4 d2c1 a8e8 f1h1 b4c4 f5d4 c4d5 e4d5 h8g8 h1h4 e8f8 d4e6 f8f1 c1d2 f1f2 d2d1 c7c5 h4a4 f2g2 a4f4 h7h5 f4f8 g8h7 e6f4 g2g1 d1d2 g1g3 f4h5 e5c4 d2e1"
lat = []
for t in range(trials):
    send("position startpos moves " + moves); send("go ponder wtime 134 btime 36 winc 10 binc 10")
    time.sleep(0.035); t0 = time.time(); send("ponderhit"); wait("bestmove"); lat.append((time.time() - t0) * 1000)
print(sys.argv[1], "ponderhit->bestmove ms:", " ".join("%.0f" % x for x in lat), "max %.0f" % max(lat))
send("quit")
