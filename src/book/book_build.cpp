// `build`: a book from the games of a PGN file. Every game is replayed on
// the board from the initial position, each move checked against the legal
// moves; the positions of its first half-moves are noted, and when the
// game's result is known they are counted into the two tables. The tables
// are written sorted at the end, or not at all when the build fails.

#include <algorithm>
#include <cstring>
#include <vector>

#include "board/make_move.h"
#include "board/move_input.h"
#include "board/notation.h"
#include "book/book.h"
#include "book/book_tools.h"
#include "book/pgn_reader.h"
#include "protocol/console.h"

namespace {

// ---------------------------------------------------------------- constants

// Index slots of a table start at this many and double whenever half of
// them are taken, which keeps probe sequences short.
constexpr int first_index_bits = 10;
// Fibonacci hashing spreads the keys over the index.
constexpr uint64_t index_multiplier = 0x9E3779B97F4A7C15ull;
// Learn weight of a move marked "!": each further '!' multiplies it again.
constexpr uint32_t good_move_weight = 4;
// A game stops being replayed one move before the history is full; its
// remaining moves are passed over unchecked.
constexpr int history_margin = 1;

// ------------------------------------------------------------------ records

// One table under construction: its entries in the order they were first
// seen, and an open-addressing index over them (slot = entry index + 1,
// 0 free) so that finding a position costs about one probe instead of a
// scan of the whole table.
struct BuildTable {
    std::vector<BookEntry> entries;
    std::vector<uint32_t> slots;
    int bits = 0;
};

// A position of the game being replayed, counted once the result is known.
struct NotedPosition {
    HashKey key;
    int table;  // white or black: the side that moved into it
    uint32_t weight;
};

enum class GamePhase { none, tags, moves, ended };

// Everything one build works with. A game begins at its first tag line, or
// at a move after the previous game ended; it ends at its termination
// marker, at the first tag line after its moves, or at the end of the file.
// Its result is that of its Result tag, or else of its marker.
struct BuildRun {
    BuildRun(SearchState& replay_board, int plies, int colours, size_t limit)
        : board(replay_board), half_plies(plies), colour(colours), size(limit) {}

    SearchState& board;
    int half_plies;
    int colour;
    size_t size;
    BuildTable tables[2];
    int game_number = 0;
    int skipped_games = 0;
    GamePhase phase = GamePhase::none;
    int tagged_result = -1;  // -1: the game has no Result tag
    bool set_up = false;     // the game starts from a FEN: skipped whole
    bool too_long = false;   // the rest of the game is passed over
    int half_moves = 0;
    std::vector<NotedPosition> noted;
};

// ---------------------------------------------------------- the two tables

size_t slot_of(HashKey key, int bits) { return size_t((key * index_multiplier) >> (64 - bits)); }

void rebuild_index(BuildTable& table, int bits) {
    table.bits = bits;
    table.slots.assign(size_t(1) << bits, 0);
    const size_t mask = table.slots.size() - 1;
    for (size_t i = 0; i < table.entries.size(); ++i) {
        size_t slot = slot_of(table.entries[i].key, bits);
        while (table.slots[slot] != 0) slot = (slot + 1) & mask;
        table.slots[slot] = uint32_t(i + 1);
    }
}

// The entry of `key`, added empty when new; null when the table is full.
BookEntry* find_or_add(BuildTable& table, HashKey key, size_t size) {
    if (table.slots.empty()) rebuild_index(table, first_index_bits);
    const size_t mask = table.slots.size() - 1;
    size_t slot = slot_of(key, table.bits);
    for (; table.slots[slot] != 0; slot = (slot + 1) & mask) {
        BookEntry& entry = table.entries[table.slots[slot] - 1];
        if (entry.key == key) return &entry;
    }
    if (table.entries.size() >= size) return nullptr;
    table.entries.push_back(BookEntry{});
    table.entries.back().key = key;
    table.slots[slot] = uint32_t(table.entries.size());
    if (2 * table.entries.size() >= table.slots.size()) rebuild_index(table, table.bits + 1);
    return &table.entries.back();
}

// Counts one game into an entry. Results are seen from the side that moved
// into the position, so a white win is a loss in the black table.
void count_result(BookEntry& entry, int table, int result, uint32_t weight) {
    if (result == pgn_draw)
        entry.draws = saturating_add(entry.draws, 1);
    else if ((result == pgn_white_won) == (table == white))
        entry.wins = saturating_add(entry.wins, 1);
    else
        entry.losses = saturating_add(entry.losses, 1);
    const uint64_t learn = uint64_t(entry.learn) * weight;
    entry.learn = uint16_t(std::min<uint64_t>(learn, book_count_limit));
}

// ------------------------------------------------------------------- games

// Counts the noted positions of the game that just ended; false when a
// table overflows.
bool finish_game(BuildRun& run, int marker_result) {
    run.phase = GamePhase::ended;
    const int result = run.tagged_result >= 0 ? run.tagged_result : marker_result;
    if (run.set_up) {
        ++run.skipped_games;
        return true;
    }
    if (result == pgn_no_result) return true;
    for (const NotedPosition& position : run.noted) {
        BookEntry* entry = find_or_add(run.tables[position.table], position.key, run.size);
        if (!entry) {
            emit("Book buffer overflow\n");
            return false;
        }
        count_result(*entry, position.table, result, position.weight);
    }
    return true;
}

bool start_game(BuildRun& run) {
    if ((run.phase == GamePhase::tags || run.phase == GamePhase::moves) &&
        !finish_game(run, pgn_no_result))
        return false;
    ++run.game_number;
    emit("Game %d\t\r", run.game_number);
    new_position(run.board);
    run.phase = GamePhase::tags;
    run.tagged_result = -1;
    run.set_up = false;
    run.too_long = false;
    run.half_moves = 0;
    run.noted.clear();
    return true;
}

// The text of a tag's value: what follows the tag name, blanks and an
// opening quote.
const char* tag_value(const std::string& line, const char* name) {
    const size_t length = std::strlen(name);
    if (line.compare(0, length, name) != 0) return nullptr;
    const char* value = line.c_str() + length;
    if (*value != ' ' && *value != '\t') return nullptr;
    while (*value == ' ' || *value == '\t') ++value;
    if (*value == '"') ++value;
    return value;
}

int tagged_result_of(const char* value) {
    if (std::strncmp(value, "1-0", 3) == 0) return pgn_white_won;
    if (std::strncmp(value, "0-1", 3) == 0) return pgn_black_won;
    if (std::strncmp(value, "1/2-1/2", 7) == 0) return pgn_draw;
    return pgn_no_result;
}

bool read_tag(BuildRun& run, const std::string& line) {
    if (run.phase != GamePhase::tags && !start_game(run)) return false;
    if (const char* value = tag_value(line, "[Result")) run.tagged_result = tagged_result_of(value);
    if (tag_value(line, "[FEN")) run.set_up = true;
    if (const char* value = tag_value(line, "[SetUp"); value && *value == '1') run.set_up = true;
    return true;
}

// The learn weight of a move's annotation, which is cut off the text: 0 for
// a move marked with '?', 4 for each consecutive '!', 1 without a mark.
uint32_t cut_annotation(std::string& text) {
    const size_t mark = text.find_first_of("?!");
    if (mark == std::string::npos) return 1;
    const bool questioned = text.find('?', mark) != std::string::npos;
    uint32_t weight = 1;
    for (size_t i = mark; i < text.size() && text[i] == '!'; ++i)
        weight = std::min<uint32_t>(weight * good_move_weight, book_count_limit);
    text.erase(mark);
    return questioned ? 0 : weight;
}

bool records_table(const BuildRun& run, int table) {
    if (run.colour == build_white_only) return table == white;
    if (run.colour == build_black_only) return table == black;
    return true;
}

bool play_move(BuildRun& run, const PgnItem& item) {
    if (run.phase != GamePhase::tags && run.phase != GamePhase::moves && !start_game(run))
        return false;
    run.phase = GamePhase::moves;
    if (run.set_up || run.too_long) return true;
    if (run.board.hply >= max_history - history_margin) {
        run.too_long = true;
        return true;
    }
    std::string text = item.text;
    const uint32_t weight = cut_annotation(text);
    if (text.empty()) return true;  // an annotation standing apart ("e4 !?")
    Move m = 0;
    if (!san_to_move(run.board, text.data(), m)) {
        emit("Incorrect move %s at game %d line %d\n", item.text.c_str(), run.game_number,
             item.line_number);
        show_board(run.board);
        return false;
    }
    make_move(run.board, m);
    ++run.half_moves;
    const int table = run.board.not_to_move;
    if (run.half_moves < run.half_plies && records_table(run, table))
        run.noted.push_back({run.board.pos_key, table, weight});
    return true;
}

bool read_games(BuildRun& run, FILE* pgn) {
    PgnReader reader;
    reader.file = pgn;
    PgnItem item;
    while (next_pgn_item(reader, item)) {
        bool going = true;
        if (item.kind == PgnItemKind::tag)
            going = read_tag(run, item.text);
        else if (item.kind == PgnItemKind::move)
            going = play_move(run, item);
        else if (run.phase == GamePhase::tags || run.phase == GamePhase::moves)
            going = finish_game(run, item.result);
        if (!going) return false;
    }
    if (run.phase == GamePhase::tags || run.phase == GamePhase::moves)
        return finish_game(run, pgn_no_result);
    return true;
}

// ----------------------------------------------------------------- writing

void sort_table(BuildTable& table) {
    std::sort(table.entries.begin(), table.entries.end(),
              [](const BookEntry& a, const BookEntry& b) { return a.key < b.key; });
}

bool write_table(FILE* file, const BuildTable& table) {
    for (const BookEntry& entry : table.entries)
        if (!write_book_entry(file, entry)) return false;
    return true;
}

bool write_book(BuildRun& run, const char* book_name) {
    FILE* file = std::fopen(book_name, "wb");
    if (!file) {
        emit("Error (cannot create file): %s\n", book_name);
        return false;
    }
    BuildTable& whites = run.tables[white];
    BuildTable& blacks = run.tables[black];
    emit("\nw_positions %d\nb_positions %d\n", int(whites.entries.size()),
         int(blacks.entries.size()));
    // Worded so that the line cannot pass for a thinking line (a number
    // first) in an interface.
    emit("games read %d, skipped %d (set up from a FEN)\n", run.game_number, run.skipped_games);
    emit("Sorting...\n");
    sort_table(whites);
    sort_table(blacks);
    emit("Writing...\n");
    bool written = write_book_header(file, uint32_t(whites.entries.size()),
                                     uint32_t(blacks.entries.size()));
    written = written && write_table(file, whites) && write_table(file, blacks);
    written = std::fclose(file) == 0 && written;
    if (!written) {
        emit("Error (cannot write file): %s\n", book_name);
        std::remove(book_name);
        return false;
    }
    emit("Finished\n");
    return true;
}

}  // namespace

bool build_book(SearchState& board, const char* pgn_name, const char* book_name, int size,
                int half_plies, int colour) {
    FILE* pgn = std::fopen(pgn_name, "r");
    if (!pgn) {
        emit("Error (cannot open file): %s\n", pgn_name);
        return false;
    }
    BuildRun run(board, half_plies, colour, size_t(std::max(size, 0)));
    const bool complete = read_games(run, pgn);
    std::fclose(pgn);
    return complete && write_book(run, book_name);
}
