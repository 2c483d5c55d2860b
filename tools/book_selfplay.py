#!/usr/bin/env python3
"""Self-play games from a list of opening lines, written as PGN; the PGN is
the raw material for the engine's opening book.

Run from anywhere (the engine is started in its run directory so it finds
velkan.ini and personality/):

    nice -n 19 python3 tools/book_selfplay.py --games 2000 --depth 6 \
        --jobs 2 --out book_games.pgn
    python3 tools/book_selfplay.py --check-lines      # replay every line
    python3 tools/book_selfplay.py --verify FILE.pgn  # replay a PGN
    python3 tools/book_selfplay.py --merge A.pgn B.pgn --out ALL.pgn

How a game is played: one engine process per job drives both sides. For
each move the tool sends `new`, `force`, every move so far, `sd D` and `go`,
so the engine always sees the full history (repetitions included) and
nothing else. Game i starts from line i // 2 of the lines file (cycling), so
every line is played twice in a row, with different random choices.

Variety: for the first --random-plies plies after the line (default 8) the
tool also tries up to --alternatives other moves: the first moves of the
engine's earlier principal variations, then random legal moves. Each is
scored by a search of depth D-1 after it (negated), which matches the depth
D search of the root, and the move played is picked at random among the
engine's choice and the alternatives within --margin cp (default 20) of its
score. Moves clearly worse than the engine's choice are never played, so the
games stay sound.

Adjudication (scores are the engine's, turned to White's point of view):
  - win: the last 8 plies (4 moves of each side) all score beyond +500 cp
    (White wins) or all beyond -500 cp (Black wins);
  - draw: the last 40 plies all score within +-15 cp, or ply 200 is reached.
Otherwise a game ends by the rules: mate, stalemate, threefold repetition,
the fifty-move rule or insufficient material, checked by chess_rules.py.
Each game's [Result] is its real result and a comment after the moves says
why it ended.
"""

import argparse
import datetime
import os
import queue
import random
import re
import socket
import subprocess
import sys
import threading

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import chess_rules  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_RUNDIR = os.path.join(ROOT, "build", "release", "run")
DEFAULT_ENGINE = os.path.join(DEFAULT_RUNDIR, "velkan64")
DEFAULT_LINES = os.path.join(ROOT, "data", "opening_lines.txt")

WIN_SCORE = 500
WIN_PLIES = 8
DRAW_SCORE = 15
DRAW_PLIES = 40
MAX_PLIES = 200

THINKING = re.compile(r"^\s*(\d+)\s+(-?\d+)\s+(\d+)\s+(\d+)\s*(.*)$")
SQUARES = re.compile(r"[a-h][1-8]")


# --- opening lines ------------------------------------------------------------

def read_lines(path):
    """[(sans, name, line_number)] from a lines file: SAN moves, then an
    optional name after '#'; blank and '#' lines skipped."""
    out = []
    with open(path, encoding="utf-8") as f:
        for number, text in enumerate(f, 1):
            body, _, name = text.partition("#")
            sans = body.split()
            if sans:
                out.append((sans, name.strip(), number))
    return out


def check_line(sans):
    """None when the SAN moves replay legally from the start, else a message."""
    game = chess_rules.Game()
    for i, san in enumerate(sans):
        try:
            game.push_san(san)
        except chess_rules.IllegalMove:
            return "move %d (%s) is illegal" % (i + 1, san)
        if game.outcome():
            return "game over after move %d (%s)" % (i + 1, san)
    return None


# --- adjudication ---------------------------------------------------------------

def adjudicate(white_scores):
    """(result, reason) from the White-side scores of the plies played after
    the opening line, or None to play on."""
    last = white_scores[-WIN_PLIES:]
    if len(last) == WIN_PLIES:
        if all(s > WIN_SCORE for s in last):
            return "1-0", "adjudicated: White above +%d cp for %d plies" % (WIN_SCORE, WIN_PLIES)
        if all(s < -WIN_SCORE for s in last):
            return "0-1", "adjudicated: Black above +%d cp for %d plies" % (WIN_SCORE, WIN_PLIES)
    quiet = white_scores[-DRAW_PLIES:]
    if len(quiet) == DRAW_PLIES and all(abs(s) < DRAW_SCORE for s in quiet):
        return "1/2-1/2", "adjudicated: %d plies within %d cp" % (DRAW_PLIES, DRAW_SCORE)
    return None


# --- engine -----------------------------------------------------------------------

class EngineError(RuntimeError):
    pass


class Engine:
    """An xboard engine in its own process; lines are read by a thread so
    that every wait can time out."""

    def __init__(self, path, rundir, timeout=120.0):
        self.timeout = timeout
        self.proc = subprocess.Popen([path], cwd=rundir, stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                     text=True, bufsize=1)
        self.lines = queue.Queue()
        threading.Thread(target=self._pump, daemon=True).start()
        self.send("xboard")
        self.send("protover 2")
        self.wait_for(lambda l: l.startswith("feature") and "done=1" in l)
        self.send("easy")

    def _pump(self):
        for line in self.proc.stdout:
            self.lines.put(line.rstrip("\n"))
        self.lines.put(None)

    def send(self, text):
        try:
            self.proc.stdin.write(text + "\n")
            self.proc.stdin.flush()
        except (BrokenPipeError, OSError):
            raise EngineError("engine closed its input")

    def readline(self):
        try:
            line = self.lines.get(timeout=self.timeout)
        except queue.Empty:
            raise EngineError("engine silent for %.0f s" % self.timeout)
        if line is None:
            raise EngineError("engine exited")
        return line

    def wait_for(self, test):
        while True:
            line = self.readline()
            if test(line):
                return line

    def search(self, moves, depth):
        """Search the position after the UCI moves to the given depth.
        Returns (move, score for the side to move, first moves of the
        principal variations seen)."""
        self.send("new")
        self.send("force")
        self.send("post")
        self.send("sd %d" % depth)
        for m in moves:
            self.send(m)
        self.send("go")
        score, firsts = None, []
        while True:
            line = self.readline()
            if line.startswith("move "):
                if score is None:
                    score = 0
                return line.split()[1], score, firsts
            if "Illegal move" in line or line.startswith("Error"):
                raise EngineError("engine refused a move: " + line)
            t = THINKING.match(line)
            if t:
                score = int(t.group(2))
                squares = SQUARES.findall(t.group(5))
                if len(squares) >= 2 and squares[:2] not in firsts:
                    firsts.append(squares[:2])

    def close(self):
        try:
            self.send("quit")
        except EngineError:
            pass
        try:
            self.proc.wait(timeout=5)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()


# --- one game ---------------------------------------------------------------------

def choose_move(engine, game, depth, rng, alternatives, margin):
    """The engine's move at the given depth, or, drawn at random, another
    move whose depth-1 search after it scores within margin of it.
    Returns (Move, score for the side that moved)."""
    uci = [m.uci() for m in game.moves]
    best_text, best_score, firsts = engine.search(uci, depth)
    best = game.pos.parse_uci(best_text)
    legal = game.pos.legal_moves()
    picks = [(best, best_score)]
    if alternatives <= 0 or depth < 2 or len(legal) < 2:
        return picks[0]
    tried = []
    for frm, to in firsts:
        for m in legal:
            if m.uci()[:4] == frm + to and m != best and m not in tried and m.promo in (None, "Q", "q"):
                tried.append(m)
    others = [m for m in legal if m != best and m not in tried]
    rng.shuffle(others)
    for m in (tried + others)[:alternatives]:
        after = game.pos.make(m)
        if not after.legal_moves():
            continue   # mate or stalemate: leave such moves to the engine's own choice
        _, reply, _ = engine.search(uci + [m.uci()], depth - 1)
        if -reply >= best_score - margin:
            picks.append((m, -reply))
    return rng.choice(picks)


def play_game(engine, line, depth, rng, random_plies, alternatives, margin):
    """Play one game from the SAN line. Returns (sans, result, reason)."""
    game = chess_rules.Game()
    for san in line:
        game.push_san(san)
    white_scores = []
    while True:
        over = game.outcome()
        if over:
            return game.sans, over[0], over[1]
        verdict = adjudicate(white_scores)
        if verdict:
            return game.sans, verdict[0], verdict[1]
        if len(game.moves) >= MAX_PLIES:
            return game.sans, "1/2-1/2", "adjudicated: ply %d reached" % MAX_PLIES
        varied = len(game.moves) - len(line) < random_plies
        move, score = choose_move(engine, game, depth, rng,
                                  alternatives if varied else 0, margin)
        white = game.pos.white
        game.push(move)
        white_scores.append(score if white else -score)


# --- PGN ----------------------------------------------------------------------------

def pgn_game(tags, sans, result, comment=None):
    out = ['[%s "%s"]' % (k, str(v).replace("\\", "\\\\").replace('"', '\\"'))
           for k, v in tags]
    words = []
    for i, san in enumerate(sans):
        if i % 2 == 0:
            words.append("%d." % (i // 2 + 1))
        words.append(san)
    if comment:
        words.append("{%s}" % comment)
    words.append(result)
    text, row = [], ""
    for w in words:
        if row and len(row) + 1 + len(w) > 79:
            text.append(row)
            row = w
        else:
            row = w if not row else row + " " + w
    text.append(row)
    return "\n".join(out) + "\n\n" + "\n".join(text) + "\n\n"


def split_pgn_games(text):
    """[(tags dict, [movetext rows], [raw lines])] per game of a PGN text: a
    game starts at the first tag line after movetext."""
    raw = []
    for line in text.splitlines():
        row = line.strip()
        if row.startswith("["):
            if not raw or raw[-1][1]:
                raw.append([{}, [], []])
            m = re.match(r'\[(\w+)\s+"(.*)"\]', row)
            if m:
                raw[-1][0][m.group(1)] = m.group(2)
        elif row:
            if not raw:
                raw.append([{}, [], []])
            raw[-1][1].append(row)
        if raw:
            raw[-1][2].append(line)
    return raw


def read_pgn(path):
    """[(tags dict, [san], result)] from a PGN file of the kind written here
    (comments, NAGs and variations are skipped)."""
    with open(path, encoding="utf-8") as f:
        text = f.read()
    out = []
    for tags, rows, _ in split_pgn_games(text):
        body = re.sub(r"\{[^}]*\}", " ", " ".join(rows))
        while re.search(r"\([^()]*\)", body):
            body = re.sub(r"\([^()]*\)", " ", body)
        tokens = [re.sub(r"^\d+\.+", "", t) for t in body.split()
                  if not re.match(r"^\$\d+$", t)]
        tokens = [t for t in tokens if t]
        result = "*"
        if tokens and tokens[-1] in ("1-0", "0-1", "1/2-1/2", "*"):
            result = tokens.pop()
        out.append((tags, tokens, result))
    return out


def merge_pgns(paths, out_path):
    """Writes the games of several PGN files into one, in order, leaving out
    every game whose moves and result repeat an earlier game, with Round
    tags renumbered from 1. Returns (games read, games written)."""
    seen, kept, total = set(), [], 0
    for path in paths:
        with open(path, encoding="utf-8") as f:
            games = split_pgn_games(f.read())
        for (tags, rows, lines), (_, sans, result) in zip(games, read_pgn(path)):
            total += 1
            key = (tuple(sans), result)
            if key in seen:
                continue
            seen.add(key)
            kept.append(lines)
    texts = [re.sub(r'(?m)^\[Round "[^"]*"\]', '[Round "%d"]' % n, "\n".join(lines).strip("\n"), count=1)
             for n, lines in enumerate(kept, 1)]
    with open(out_path, "w", encoding="utf-8") as f:
        f.write("\n\n".join(texts) + "\n")
    return total, len(kept)


def verify_pgn(path):
    """Replay every game; returns a list of problems (empty when all good).
    A game that ends by the rules must carry the matching result."""
    problems = []
    for n, (tags, sans, result) in enumerate(read_pgn(path), 1):
        game = chess_rules.Game()
        try:
            for i, san in enumerate(sans):
                if game.outcome():
                    raise chess_rules.IllegalMove("moves after the end, at %d" % (i + 1))
                game.push_san(san)
        except chess_rules.IllegalMove as e:
            problems.append("game %d: %s" % (n, e))
            continue
        over = game.outcome()
        if over and over[0] != result:
            problems.append("game %d: ends by %s but says %s" % (n, over[1], result))
        if tags.get("Result") != result:
            problems.append("game %d: Result tag %s, movetext %s" % (n, tags.get("Result"), result))
    return problems


# --- driver -------------------------------------------------------------------------

def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--engine", default=DEFAULT_ENGINE)
    ap.add_argument("--dir", default=None, help="engine run directory (default: the engine's)")
    ap.add_argument("--lines", default=DEFAULT_LINES)
    ap.add_argument("--games", type=int, default=100)
    ap.add_argument("--depth", type=int, default=6)
    ap.add_argument("--out", default="book_selfplay.pgn")
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--jobs", type=int, default=1)
    ap.add_argument("--random-plies", type=int, default=8,
                    help="plies after the line in which other moves may be played")
    ap.add_argument("--alternatives", type=int, default=3,
                    help="other moves tried at each such ply")
    ap.add_argument("--margin", type=int, default=20,
                    help="cp below the engine's score an other move may be")
    ap.add_argument("--check-lines", action="store_true", help="replay the lines and stop")
    ap.add_argument("--verify", metavar="PGN", help="replay a PGN file and stop")
    ap.add_argument("--merge", nargs="+", metavar="PGN",
                    help="write these PGN files into --out, repeated games left out, and stop")
    args = ap.parse_args(argv)

    if args.merge:
        total, kept = merge_pgns(args.merge, args.out)
        print("%d games read, %d written to %s (%d repeats left out)" % (total, kept, args.out, total - kept))
        return 0

    if args.verify:
        problems = verify_pgn(args.verify)
        count = len(read_pgn(args.verify))
        for p in problems:
            print(p)
        print("%d games, %d problems" % (count, len(problems)))
        return 1 if problems else 0

    lines = read_lines(args.lines)
    bad = [(n, msg) for sans, _, n in lines for msg in [check_line(sans)] if msg]
    for n, msg in bad:
        print("%s:%d: %s" % (args.lines, n, msg))
    if args.check_lines:
        print("%d lines, %d bad" % (len(lines), len(bad)))
        return 1 if bad else 0
    if bad:
        return 1
    if not lines:
        print("no opening lines in " + args.lines)
        return 1

    rundir = args.dir or os.path.dirname(os.path.abspath(args.engine))
    date = datetime.date.today().strftime("%Y.%m.%d")
    site = socket.gethostname()
    player = "Velkan sd%d" % args.depth
    todo = queue.Queue()
    for i in range(args.games):
        todo.put(i)
    lock = threading.Lock()
    out = open(args.out, "w", encoding="utf-8")
    stats = {"1-0": 0, "0-1": 0, "1/2-1/2": 0, "errors": 0, "done": 0}

    def worker():
        engine = Engine(args.engine, rundir)
        try:
            while True:
                try:
                    i = todo.get_nowait()
                except queue.Empty:
                    return
                sans, name, _ = lines[(i // 2) % len(lines)]
                rng = random.Random(args.seed * 1000003 + i)
                try:
                    moves, result, reason = play_game(engine, sans, args.depth, rng,
                                                      args.random_plies, args.alternatives,
                                                      args.margin)
                except (EngineError, chess_rules.IllegalMove) as e:
                    with lock:
                        stats["errors"] += 1
                        print("game %d: %s" % (i + 1, e), file=sys.stderr)
                    engine.close()
                    engine = Engine(args.engine, rundir)
                    continue
                tags = [("Event", "Velkan book self-play"), ("Site", site), ("Date", date),
                        ("Round", i + 1), ("White", player), ("Black", player),
                        ("Result", result), ("Opening", name),
                        ("PlyCount", len(moves))]
                with lock:
                    out.write(pgn_game(tags, moves, result, reason))
                    out.flush()
                    stats[result] += 1
                    stats["done"] += 1
                    print("game %d/%d %s %s (%d plies, %s)" % (i + 1, args.games, result,
                                                                name, len(moves), reason),
                          flush=True)
        finally:
            engine.close()

    threads = [threading.Thread(target=worker) for _ in range(max(1, args.jobs))]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    out.close()
    print("%d games: +%d =%d -%d, %d errors" % (stats["done"], stats["1-0"], stats["1/2-1/2"],
                                               stats["0-1"], stats["errors"]))
    return 0 if stats["errors"] == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
