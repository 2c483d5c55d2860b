#!/usr/bin/env python3
"""Speed of the search beside a peer engine, in the same run.

Runs the search bench (search_bench DEPTH) and then a UCI engine (Debian's
toga2 by default) over the same positions, each for a fixed time, and
prints the nodes per second of both. The engines evaluate differently, so
only the speeds compare, not the node counts.

    bench/peer_nps.py BUILD_DIR [--depth 10] [--engine toga2] [--ms 500]
"""
import argparse
import os
import re
import subprocess
import sys


def ours(build, depth):
    out = subprocess.run([os.path.join(build, "search_bench"), str(depth)],
                         capture_output=True, text=True, check=True).stdout
    nodes = int(re.search(r"^nodes (\d+)", out, re.M).group(1))
    nps = int(re.search(r"^nps (\d+)", out, re.M).group(1))
    return nodes, nps


def peer(engine, fens, ms):
    proc = subprocess.Popen([engine], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                            text=True, bufsize=1)

    def send(line):
        proc.stdin.write(line + "\n")

    def wait(prefix):
        lines = []
        for line in proc.stdout:
            lines.append(line)
            if line.startswith(prefix):
                return lines
        raise RuntimeError(engine + " ended early")

    send("uci")
    wait("uciok")
    total_nodes = total_ms = 0
    for fen in fens:
        send("ucinewgame")
        send("isready")
        wait("readyok")
        send("position fen " + fen)
        send("go movetime %d" % ms)
        nodes = elapsed = 0
        for line in wait("bestmove"):
            n = re.search(r"\bnodes (\d+)", line)
            t = re.search(r"\btime (\d+)", line)
            if n and t:
                nodes, elapsed = int(n.group(1)), int(t.group(1))
        total_nodes += nodes
        total_ms += elapsed
    send("quit")
    proc.wait()
    return total_nodes, total_nodes * 1000 // max(1, total_ms)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--depth", type=int, default=10)
    parser.add_argument("--engine", default="/usr/games/toga2")
    parser.add_argument("--ms", type=int, default=500)
    args = parser.parse_args()
    fens = subprocess.run([os.path.join(args.build, "search_bench"), "fens"],
                          capture_output=True, text=True, check=True).stdout.split("\n")
    fens = [f for f in fens if f.strip()]
    nodes, nps = ours(args.build, args.depth)
    print("velkan  %d positions  depth %d  nodes %d  nps %d" % (len(fens), args.depth, nodes, nps))
    nodes, nps = peer(args.engine, fens, args.ms)
    print("%s  %d positions  %d ms each  nodes %d  nps %d"
          % (os.path.basename(args.engine), len(fens), args.ms, nodes, nps))


if __name__ == "__main__":
    sys.exit(main())
