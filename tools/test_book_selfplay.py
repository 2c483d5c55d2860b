"""Tests of the rules module and the self-play helpers that do not need the
engine: move generation counts, SAN in and out, end-of-game rules, the
adjudication rule, the opening lines file and the PGN round trip.

    python3 tools/test_book_selfplay.py
"""

import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import book_selfplay  # noqa: E402
from chess_rules import Game, IllegalMove, Position  # noqa: E402


def perft(pos, depth):
    if depth == 0:
        return 1
    return sum(perft(pos.make(m), depth - 1) for m in pos.legal_moves())


def sans(pos):
    legal = pos.legal_moves()
    return sorted(pos.san(m, legal) for m in legal)


class MoveGeneration(unittest.TestCase):
    def test_perft_counts(self):
        # Known node counts; the second position is full of castling, pins,
        # en passant and promotions, the third of checks and discovered pins.
        self.assertEqual(perft(Position(), 3), 8902)
        kiwipete = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1"
        self.assertEqual(perft(Position(kiwipete), 2), 2039)
        self.assertEqual(perft(Position("8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1"), 3), 2812)
        pos4 = "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1"
        self.assertEqual(perft(Position(pos4), 2), 264)

    def test_fen_round_trip(self):
        fen = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 3 17"
        self.assertEqual(Position(fen).fen(), fen)


class Castling(unittest.TestCase):
    def test_both_sides_and_rights_lost(self):
        pos = Position("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1")
        self.assertIn("O-O", sans(pos))
        self.assertIn("O-O-O", sans(pos))
        after = pos.make(pos.parse_san("O-O"))
        self.assertEqual(after.board[5], "R")
        self.assertEqual(after.board[6], "K")
        self.assertEqual(after.castling, "kq")
        # A rook captured on its home square takes that right away.
        pos = Position("r3k2r/8/8/8/8/8/6B1/R3K2R w KQkq - 0 1")
        after = pos.make(pos.parse_san("Bxa8"))
        self.assertEqual(after.castling, "KQk")

    def test_no_castling_through_or_out_of_check(self):
        # f1 attacked by the bishop on c4: no short castling; long is fine.
        pos = Position("4k3/8/8/8/2b5/8/8/R3K2R w KQ - 0 1")
        self.assertNotIn("O-O", sans(pos))
        self.assertIn("O-O-O", sans(pos))
        # In check: neither.
        pos = Position("4k3/8/8/8/8/8/4r3/R3K2R w KQ - 0 1")
        self.assertFalse({"O-O", "O-O-O"} & set(sans(pos)))
        # b1 attacked does not stop long castling; only the king's squares count.
        pos = Position("1r2k3/8/8/8/8/8/8/R3K3 w Q - 0 1")
        self.assertIn("O-O-O", sans(pos))


class EnPassantAndPromotion(unittest.TestCase):
    def test_en_passant(self):
        game = Game()
        for s in "e4 a6 e5 d5".split():
            game.push_san(s)
        self.assertIn("exd6", sans(game.pos))
        game.push_san("exd6")
        self.assertEqual(game.pos.board[35], ".")   # the d5 pawn is gone
        # The right lasts one move only.
        game = Game()
        for s in "e4 a6 e5 d5 Nf3 h6".split():
            game.push_san(s)
        self.assertRaises(IllegalMove, game.push_san, "exd6")

    def test_en_passant_that_exposes_the_king(self):
        pos = Position("8/8/8/K2pP2r/8/8/8/7k w - d6 0 1")
        self.assertNotIn("exd6", sans(pos))

    def test_promotion(self):
        pos = Position("1n5k/P7/8/8/8/8/8/K7 w - - 0 1")
        names = sans(pos)
        for s in ("a8=Q", "a8=N", "axb8=Q+", "axb8=R+"):
            self.assertIn(s, names)
        m = pos.parse_san("axb8=N")
        self.assertEqual(m.uci(), "a7b8n")
        self.assertEqual(pos.parse_san("a8Q").uci(), "a7a8q")
        self.assertEqual(pos.make(m).board[57], "N")


class Disambiguation(unittest.TestCase):
    def test_file_rank_and_square(self):
        pos = Position("k7/8/8/8/8/8/8/KN3N2 w - - 0 1")
        self.assertIn("Nbd2", sans(pos))
        self.assertIn("Nfd2", sans(pos))
        pos = Position("7k/8/8/R7/8/8/8/R3K3 w - - 0 1")
        self.assertIn("R1a3", sans(pos))
        self.assertIn("R5a3", sans(pos))
        pos = Position("k7/8/8/8/8/2Q1Q3/8/K1Q5 w - - 0 1")
        self.assertIn("Qc3d2", sans(pos))
        self.assertIn("Qed2", sans(pos))
        self.assertEqual(pos.parse_san("Qc3d2").uci(), "c3d2")
        self.assertRaises(IllegalMove, pos.parse_san, "Qd2")

    def test_pinned_piece_needs_no_disambiguation(self):
        # The knight on e2 is pinned by the rook, so Nc3 is the other knight.
        pos = Position("4r2k/8/8/8/8/8/4N3/1N2K3 w - - 0 1")
        self.assertIn("Nc3", sans(pos))
        self.assertNotIn("Nbc3", sans(pos))


class EndOfGame(unittest.TestCase):
    def play(self, moves, fen=None):
        game = Game(fen) if fen else Game()
        for s in moves.split():
            game.push_san(s)
        return game

    def test_mate_and_check_marks(self):
        game = self.play("f3 e5 g4")
        self.assertEqual(game.pos.san(game.pos.parse_san("Qh4")), "Qh4#")
        game.push_san("Qh4")
        self.assertEqual(game.outcome(), ("0-1", "Black mates"))
        game = self.play("e4 e5 Bc4 Nc6 Qh5 Nf6 Qxf7")
        self.assertEqual(game.sans[-1], "Qxf7#")
        game = self.play("e4 f5 Qh5")
        self.assertEqual(game.sans[-1], "Qh5+")
        self.assertIsNone(game.outcome())

    def test_stalemate(self):
        game = self.play("Qb6", "k7/8/2Q5/8/8/8/8/K7 w - - 0 1")
        self.assertEqual(game.outcome(), ("1/2-1/2", "Stalemate"))

    def test_threefold_repetition(self):
        game = self.play("Nf3 Nf6 Ng1 Ng8 Nf3 Nf6 Ng1")
        self.assertIsNone(game.outcome())
        game.push_san("Ng8")
        self.assertEqual(game.outcome(), ("1/2-1/2", "Threefold repetition"))

    def test_fifty_moves(self):
        game = self.play("Rb2", "k7/8/8/8/8/8/8/KR6 w - - 99 80")
        self.assertEqual(game.outcome(), ("1/2-1/2", "Fifty-move rule"))

    def test_insufficient_material(self):
        self.assertTrue(Position("k7/8/8/8/8/8/8/KN6 w - - 0 1").insufficient_material())
        self.assertTrue(Position("kb6/8/8/8/8/8/8/K1B5 w - - 0 1").insufficient_material())
        self.assertFalse(Position("k1b5/8/8/8/8/8/8/K1B5 w - - 0 1").insufficient_material())
        self.assertFalse(Position("k7/8/8/8/8/8/8/KNN5 w - - 0 1").insufficient_material())
        self.assertFalse(Position("k7/8/8/8/8/8/P7/K7 w - - 0 1").insufficient_material())


class Adjudication(unittest.TestCase):
    def test_win_needs_eight_plies_beyond_500(self):
        adj = book_selfplay.adjudicate
        self.assertIsNone(adj([600] * 7))
        self.assertEqual(adj([10, 40] + [510] * 8)[0], "1-0")
        self.assertEqual(adj([-700] * 8)[0], "0-1")
        # One ply back under the bar resets the count.
        self.assertIsNone(adj([600] * 4 + [480] + [600] * 3))
        self.assertIsNone(adj([500] * 8))   # "beyond" is strict

    def test_draw_needs_forty_quiet_plies(self):
        adj = book_selfplay.adjudicate
        quiet = [(-1) ** i * (i % 15) for i in range(40)]
        self.assertEqual(adj(quiet)[0], "1/2-1/2")
        self.assertIsNone(adj(quiet[:39]))
        self.assertIsNone(adj(quiet[:20] + [15] + quiet[21:]))
        self.assertEqual(adj([200] + quiet)[0], "1/2-1/2")


class LinesAndPgn(unittest.TestCase):
    def test_shipped_lines_are_legal_and_deep_enough(self):
        lines = book_selfplay.read_lines(book_selfplay.DEFAULT_LINES)
        self.assertGreaterEqual(len(lines), 150)
        for sans_, name, number in lines:
            self.assertIsNone(book_selfplay.check_line(sans_), "line %d" % number)
            self.assertTrue(8 <= len(sans_) <= 24, "line %d" % number)
        self.assertEqual(len({tuple(s) for s, _, _ in lines}), len(lines), "duplicate line")

    def test_check_line_reports_the_bad_move(self):
        self.assertIn("move 3", book_selfplay.check_line("e4 e5 Ke3".split()))
        self.assertIn("game over", book_selfplay.check_line("f3 e5 g4 Qh4 a3".split()))

    def test_pgn_written_reads_back_and_verifies(self):
        game = Game()
        for s in "f3 e5 g4 Qh4".split():
            game.push_san(s)
        tags = [("Event", "t"), ("Result", "0-1"), ("Opening", 'a "quoted" name')]
        text = book_selfplay.pgn_game(tags, game.sans, "0-1", "Black mates")
        text += book_selfplay.pgn_game([("Event", "t"), ("Result", "1-0")],
                                       "e4 e5 Ke2".split(), "1-0")
        text += book_selfplay.pgn_game([("Event", "t"), ("Result", "1-0")],
                                       "e4 e5 Nf3".split(), "1-0")
        with tempfile.NamedTemporaryFile("w", suffix=".pgn", delete=False) as f:
            f.write(text)
        try:
            games = book_selfplay.read_pgn(f.name)
            self.assertEqual(len(games), 3)
            self.assertEqual(games[0][1], ["f3", "e5", "g4", "Qh4#"])
            self.assertEqual(games[0][2], "0-1")
            problems = book_selfplay.verify_pgn(f.name)
            # Game 2 is legal and unfinished; game 3 is fine too; none wrong.
            self.assertEqual(problems, [])
        finally:
            os.unlink(f.name)
        self.assertIn("1. f3 e5 2. g4 Qh4# {Black mates} 0-1", text)

    def test_verify_catches_illegal_moves_and_wrong_results(self):
        text = (book_selfplay.pgn_game([("Result", "1-0")], "e4 e5 Ke3".split(), "1-0")
                + book_selfplay.pgn_game([("Result", "1-0")], "f3 e5 g4 Qh4#".split(), "1-0"))
        with tempfile.NamedTemporaryFile("w", suffix=".pgn", delete=False) as f:
            f.write(text)
        try:
            problems = book_selfplay.verify_pgn(f.name)
        finally:
            os.unlink(f.name)
        self.assertEqual(len(problems), 2)
        self.assertIn("game 1", problems[0])
        self.assertIn("Black mates", problems[1])

    def test_merge_leaves_out_repeated_games_and_renumbers(self):
        def game(round_, moves, result, comment=None):
            return book_selfplay.pgn_game([("Round", round_), ("Result", result)], moves.split(), result, comment)
        first = game(1, "e4 e5 Nf3", "1-0") + game(2, "d4 d5", "1/2-1/2")
        # A repeat of game 1 (another comment only), the same moves with
        # another result, and a new game.
        second = game(1, "e4 e5 Nf3", "1-0", "again") + game(2, "e4 e5 Nf3", "0-1") + game(3, "c4", "0-1")
        with tempfile.TemporaryDirectory() as d:
            paths = [os.path.join(d, n) for n in ("a.pgn", "b.pgn", "out.pgn")]
            for path, text in zip(paths, (first, second)):
                with open(path, "w") as f:
                    f.write(text)
            self.assertEqual(book_selfplay.merge_pgns(paths[:2], paths[2]), (5, 4))
            games = book_selfplay.read_pgn(paths[2])
            self.assertEqual([(g[0]["Round"], " ".join(g[1]), g[2]) for g in games],
                             [("1", "e4 e5 Nf3", "1-0"), ("2", "d4 d5", "1/2-1/2"),
                              ("3", "e4 e5 Nf3", "0-1"), ("4", "c4", "0-1")])
            self.assertEqual(book_selfplay.verify_pgn(paths[2]), [])


if __name__ == "__main__":
    unittest.main()
