"""Small chess rules module: legal move generation, SAN reading and writing,
and the end-of-game rules (mate, stalemate, fifty moves, threefold
repetition, insufficient material).

Used by the book tools to check opening lines and self-play games without
trusting the engine being tested. Squares are 0..63 with a1 = 0, h1 = 7,
a8 = 56; pieces are 'PNBRQK' for White and 'pnbrqk' for Black, '.' is empty.
Speed is not a goal: positions are copied on every move.
"""

START_FEN = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"

FILES = "abcdefgh"
KNIGHT_STEPS = [(1, 2), (2, 1), (2, -1), (1, -2), (-1, -2), (-2, -1), (-2, 1), (-1, 2)]
KING_STEPS = [(1, 0), (1, 1), (0, 1), (-1, 1), (-1, 0), (-1, -1), (0, -1), (1, -1)]
ROOK_DIRS = [(1, 0), (-1, 0), (0, 1), (0, -1)]
BISHOP_DIRS = [(1, 1), (1, -1), (-1, 1), (-1, -1)]


def sq_name(sq):
    return FILES[sq % 8] + str(sq // 8 + 1)


def parse_sq(name):
    return (int(name[1]) - 1) * 8 + FILES.index(name[0])


class IllegalMove(ValueError):
    pass


class Move:
    __slots__ = ("frm", "to", "promo")

    def __init__(self, frm, to, promo=None):
        self.frm, self.to, self.promo = frm, to, promo

    def uci(self):
        return sq_name(self.frm) + sq_name(self.to) + (self.promo.lower() if self.promo else "")

    def __eq__(self, other):
        return (self.frm, self.to, self.promo) == (other.frm, other.to, other.promo)

    def __hash__(self):
        return hash((self.frm, self.to, self.promo))

    def __repr__(self):
        return "Move(%s)" % self.uci()


def _white(p):
    return p.isupper()


class Position:
    def __init__(self, fen=START_FEN):
        parts = fen.split()
        rows = parts[0].split("/")
        if len(rows) != 8:
            raise ValueError("bad FEN: " + fen)
        self.board = ["."] * 64
        for r, row in enumerate(rows):
            rank, f = 7 - r, 0
            for c in row:
                if c.isdigit():
                    f += int(c)
                else:
                    self.board[rank * 8 + f] = c
                    f += 1
        self.white = (parts[1] if len(parts) > 1 else "w") == "w"
        cast = parts[2] if len(parts) > 2 else "-"
        self.castling = "" if cast == "-" else cast
        ep = parts[3] if len(parts) > 3 else "-"
        self.ep = None if ep == "-" else parse_sq(ep)
        self.halfmove = int(parts[4]) if len(parts) > 4 else 0
        self.fullmove = int(parts[5]) if len(parts) > 5 else 1

    def copy(self):
        p = Position.__new__(Position)
        p.board = self.board[:]
        p.white, p.castling, p.ep = self.white, self.castling, self.ep
        p.halfmove, p.fullmove = self.halfmove, self.fullmove
        return p

    def fen(self):
        rows = []
        for rank in range(7, -1, -1):
            row, empty = "", 0
            for f in range(8):
                c = self.board[rank * 8 + f]
                if c == ".":
                    empty += 1
                else:
                    if empty:
                        row += str(empty)
                        empty = 0
                    row += c
            rows.append(row + (str(empty) if empty else ""))
        return "%s %s %s %s %d %d" % ("/".join(rows), "w" if self.white else "b",
                                      self.castling or "-",
                                      sq_name(self.ep) if self.ep is not None else "-",
                                      self.halfmove, self.fullmove)

    # --- attacks -------------------------------------------------------
    def attacked(self, sq, by_white):
        """True when a piece of the given colour attacks square sq."""
        b = self.board
        f0, r0 = sq % 8, sq // 8
        pawn, knight, king = ("P", "N", "K") if by_white else ("p", "n", "k")
        rook_like = "RQ" if by_white else "rq"
        bishop_like = "BQ" if by_white else "bq"
        pr = r0 - 1 if by_white else r0 + 1
        if 0 <= pr < 8:
            for df in (-1, 1):
                if 0 <= f0 + df < 8 and b[pr * 8 + f0 + df] == pawn:
                    return True
        for steps, piece in ((KNIGHT_STEPS, knight), (KING_STEPS, king)):
            for df, dr in steps:
                f, r = f0 + df, r0 + dr
                if 0 <= f < 8 and 0 <= r < 8 and b[r * 8 + f] == piece:
                    return True
        for dirs, pieces in ((ROOK_DIRS, rook_like), (BISHOP_DIRS, bishop_like)):
            for df, dr in dirs:
                f, r = f0 + df, r0 + dr
                while 0 <= f < 8 and 0 <= r < 8:
                    c = b[r * 8 + f]
                    if c != ".":
                        if c in pieces:
                            return True
                        break
                    f += df
                    r += dr
        return False

    def king_sq(self, white):
        return self.board.index("K" if white else "k")

    def in_check(self):
        return self.attacked(self.king_sq(self.white), not self.white)

    # --- move generation -------------------------------------------------
    def pseudo_moves(self):
        b, us_white = self.board, self.white
        out = []
        for sq, p in enumerate(b):
            if p == "." or _white(p) != us_white:
                continue
            f0, r0 = sq % 8, sq // 8
            kind = p.upper()
            if kind == "P":
                d = 1 if us_white else -1
                last = 7 if us_white else 0
                start = 1 if us_white else 6
                promos = "QRBN" if us_white else "qrbn"

                def add(to):
                    if to // 8 == last:
                        out.extend(Move(sq, to, pc) for pc in promos)
                    else:
                        out.append(Move(sq, to))
                one = sq + 8 * d
                if b[one] == ".":
                    add(one)
                    two = one + 8 * d
                    if r0 == start and b[two] == ".":
                        out.append(Move(sq, two))
                for df in (-1, 1):
                    if 0 <= f0 + df < 8:
                        to = one + df
                        t = b[to]
                        if (t != "." and _white(t) != us_white) or to == self.ep:
                            add(to)
            elif kind in "NK":
                for df, dr in (KNIGHT_STEPS if kind == "N" else KING_STEPS):
                    f, r = f0 + df, r0 + dr
                    if 0 <= f < 8 and 0 <= r < 8:
                        t = b[r * 8 + f]
                        if t == "." or _white(t) != us_white:
                            out.append(Move(sq, r * 8 + f))
            else:
                dirs = (ROOK_DIRS if kind == "R" else BISHOP_DIRS if kind == "B"
                        else ROOK_DIRS + BISHOP_DIRS)
                for df, dr in dirs:
                    f, r = f0 + df, r0 + dr
                    while 0 <= f < 8 and 0 <= r < 8:
                        t = b[r * 8 + f]
                        if t == "." or _white(t) != us_white:
                            out.append(Move(sq, r * 8 + f))
                        if t != ".":
                            break
                        f += df
                        r += dr
        # Castling: the king and rook on their home squares (the castling
        # rights say so), the squares between empty, and the king neither in
        # check nor passing through or landing on an attacked square.
        home = 4 if us_white else 60
        rights = ("K", "Q") if us_white else ("k", "q")
        if b[home] == ("K" if us_white else "k"):
            them = not us_white
            if (rights[0] in self.castling and b[home + 1] == "." and b[home + 2] == "."
                    and not self.attacked(home, them) and not self.attacked(home + 1, them)
                    and not self.attacked(home + 2, them)):
                out.append(Move(home, home + 2))
            if (rights[1] in self.castling and b[home - 1] == "." and b[home - 2] == "."
                    and b[home - 3] == "." and not self.attacked(home, them)
                    and not self.attacked(home - 1, them) and not self.attacked(home - 2, them)):
                out.append(Move(home, home - 2))
        return out

    def make(self, m):
        """Return the position after move m (m is assumed pseudo-legal)."""
        p = self.copy()
        b = p.board
        piece = b[m.frm]
        captured = b[m.to]
        b[m.to] = m.promo if m.promo else piece
        b[m.frm] = "."
        kind = piece.upper()
        if kind == "P" and m.to == self.ep:
            b[m.to - 8 if self.white else m.to + 8] = "."
            captured = "p"
        if kind == "K" and abs(m.to - m.frm) == 2:
            if m.to > m.frm:
                b[m.frm + 1], b[m.frm + 3] = b[m.frm + 3], "."
            else:
                b[m.frm - 1], b[m.frm - 4] = b[m.frm - 4], "."
        p.ep = (m.frm + m.to) // 2 if kind == "P" and abs(m.to - m.frm) == 16 else None
        lost = {4: "KQ", 60: "kq", 0: "Q", 7: "K", 56: "q", 63: "k"}
        c = p.castling
        for sq in (m.frm, m.to):
            for r in lost.get(sq, ""):
                c = c.replace(r, "")
        p.castling = c
        p.halfmove = 0 if kind == "P" or captured != "." else self.halfmove + 1
        if not self.white:
            p.fullmove += 1
        p.white = not self.white
        return p

    def legal_moves(self):
        out = []
        for m in self.pseudo_moves():
            after = self.make(m)
            if not after.attacked(after.king_sq(self.white), after.white):
                out.append(m)
        return out

    # --- notation --------------------------------------------------------
    def san(self, m, legal=None):
        legal = self.legal_moves() if legal is None else legal
        piece = self.board[m.frm]
        kind = piece.upper()
        if kind == "K" and abs(m.to - m.frm) == 2:
            s = "O-O" if m.to > m.frm else "O-O-O"
        else:
            capture = self.board[m.to] != "." or (kind == "P" and m.to == self.ep)
            if kind == "P":
                s = (FILES[m.frm % 8] + "x" if capture else "") + sq_name(m.to)
                if m.promo:
                    s += "=" + m.promo.upper()
            else:
                rivals = [o for o in legal if o.to == m.to and o.frm != m.frm
                          and self.board[o.frm] == piece]
                dis = ""
                if rivals:
                    if all(o.frm % 8 != m.frm % 8 for o in rivals):
                        dis = FILES[m.frm % 8]
                    elif all(o.frm // 8 != m.frm // 8 for o in rivals):
                        dis = str(m.frm // 8 + 1)
                    else:
                        dis = sq_name(m.frm)
                s = kind + dis + ("x" if capture else "") + sq_name(m.to)
        after = self.make(m)
        if after.in_check():
            s += "#" if not after.legal_moves() else "+"
        return s

    def parse_san(self, text):
        """Return the legal move written as text in SAN (check marks,
        annotations and 0-0 spellings tolerated); raise IllegalMove."""
        s = text.strip().rstrip("+#!?").replace("0", "O")
        legal = self.legal_moves()
        if s in ("O-O", "O-O-O"):
            home = 4 if self.white else 60
            to = home + 2 if s == "O-O" else home - 2
            for m in legal:
                if m.frm == home and m.to == to and self.board[home].upper() == "K":
                    return m
            raise IllegalMove(text)
        promo = None
        if "=" in s:
            s, promo = s.split("=")
            promo = promo[:1]
        elif len(s) > 2 and s[-1] in "QRBN" and s[-2].isdigit():
            s, promo = s[:-1], s[-1]
        kind = "P"
        if s and s[0] in "NBRQK":
            kind, s = s[0], s[1:]
        s = s.replace("x", "").replace("-", "")
        if len(s) < 2:
            raise IllegalMove(text)
        try:
            to = parse_sq(s[-2:])
        except (ValueError, IndexError):
            raise IllegalMove(text)
        dis = s[:-2]
        if promo:
            promo = promo.upper() if self.white else promo.lower()
        found = []
        for m in legal:
            if m.to != to or self.board[m.frm].upper() != kind or m.promo != promo:
                continue
            name = sq_name(m.frm)
            if all(ch in name for ch in dis):
                found.append(m)
        if len(found) != 1:
            raise IllegalMove(text)
        return found[0]

    def parse_uci(self, text):
        text = text.strip()
        for m in self.legal_moves():
            if m.uci() == text.lower():
                return m
        raise IllegalMove(text)

    # --- end of game -------------------------------------------------------
    def repetition_key(self):
        # The en-passant square only counts when a capture there is legal.
        ep = None
        if self.ep is not None:
            if any(m.to == self.ep and self.board[m.frm].upper() == "P"
                   for m in self.legal_moves()):
                ep = self.ep
        return ("".join(self.board), self.white, self.castling, ep)

    def insufficient_material(self):
        """Neither side can mate: bare kings, a lone minor piece, or only
        bishops all on squares of one colour."""
        rest = [(sq, p) for sq, p in enumerate(self.board) if p not in ".Kk"]
        if any(p.upper() in "PRQ" for _, p in rest):
            return False
        if len(rest) <= 1:
            return True
        if all(p.upper() == "B" for _, p in rest):
            colours = {(sq % 8 + sq // 8) % 2 for sq, _ in rest}
            return len(colours) == 1
        return False


class Game:
    """A game from a start position with its move history, so that the
    repetition and fifty-move rules can be applied."""

    def __init__(self, fen=START_FEN):
        self.start_fen = fen
        self.pos = Position(fen)
        self.moves = []     # Move objects
        self.sans = []
        self.keys = [self.pos.repetition_key()]

    def push(self, m):
        legal = self.pos.legal_moves()
        if m not in legal:
            raise IllegalMove(m.uci())
        self.sans.append(self.pos.san(m, legal))
        self.moves.append(m)
        self.pos = self.pos.make(m)
        self.keys.append(self.pos.repetition_key())

    def push_san(self, text):
        self.push(self.pos.parse_san(text))

    def push_uci(self, text):
        self.push(self.pos.parse_uci(text))

    def outcome(self):
        """(result, reason) when the game is over by the rules, else None."""
        pos = self.pos
        if not pos.legal_moves():
            if pos.in_check():
                return ("0-1", "Black mates") if pos.white else ("1-0", "White mates")
            return ("1/2-1/2", "Stalemate")
        if pos.insufficient_material():
            return ("1/2-1/2", "Insufficient material")
        if self.keys.count(self.keys[-1]) >= 3:
            return ("1/2-1/2", "Threefold repetition")
        if pos.halfmove >= 100:
            return ("1/2-1/2", "Fifty-move rule")
        return None
