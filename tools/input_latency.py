#!/usr/bin/env python3
# How fast a searching engine reads its input: the delay from "isready" to "readyok" and from
# "stop" to "bestmove" during a long "go infinite", after the search has passed its first
# five seconds (when the long poll interval applies), at several thread counts. Also the
# delay of "isready" at rest. Prints median, 99th percentile and maximum in milliseconds.
#   tools/input_latency.py [--program build/engine-mp] [--threads 1,2,8] [--tries 10]
#                          [--after 5.5]
# A benchmark, not a test: the figures depend on the machine and its load.
import argparse, random, statistics, subprocess, time

FEN = "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP2BPPP/R2QKB1R w KQ - 0 9"


class Engine:
    def __init__(self, program):
        self.p = subprocess.Popen([program], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                  text=True, bufsize=1)

    def send(self, line):
        self.p.stdin.write(line + "\n")
        self.p.stdin.flush()

    def wait(self, prefix):
        while True:
            line = self.p.stdout.readline()
            if not line:
                raise SystemExit("the engine ended")
            if line.startswith(prefix):
                return line

    def timed(self, command, reply):
        start = time.perf_counter()
        self.send(command)
        self.wait(reply)
        return (time.perf_counter() - start) * 1000


def summary(values):
    values = sorted(values)
    p99 = values[min(len(values) - 1, int(round(0.99 * (len(values) - 1))))]
    return "median %6.1f  p99 %6.1f  max %6.1f" % (statistics.median(values), p99, values[-1])


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--program", default="build/engine-mp")
    ap.add_argument("--threads", default="1,2,8")
    ap.add_argument("--tries", type=int, default=10)
    ap.add_argument("--after", type=float, default=5.5, help="seconds of search before asking")
    args = ap.parse_args()

    engine = Engine(args.program)
    engine.send("uci")
    engine.wait("uciok")
    engine.send("setoption name Position Learning value false")
    idle = [engine.timed("isready", "readyok") for _ in range(50) if time.sleep(0.003) is None]
    print("%-22s %s" % ("idle isready (ms)", summary(idle)))
    for threads in [int(t) for t in args.threads.split(",")]:
        engine.send("setoption name Threads value %d" % threads)
        engine.timed("isready", "readyok")
        ready, stop = [], []
        for _ in range(args.tries):
            engine.send("position fen " + FEN)
            engine.send("go infinite")
            time.sleep(args.after + random.random())
            ready.append(engine.timed("isready", "readyok"))
            time.sleep(0.05 + 0.1 * random.random())
            stop.append(engine.timed("stop", "bestmove"))
        print("%-22s %s" % ("%d threads isready" % threads, summary(ready)))
        print("%-22s %s" % ("%d threads stop" % threads, summary(stop)))
    engine.send("quit")


main()
