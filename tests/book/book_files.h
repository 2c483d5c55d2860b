#pragma once
// Helpers for the book tests: a private scratch directory per test, book
// files written from and read back into entry lists, PGN text files, and
// the keys of positions reached by SAN moves from the initial position.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "board/make_move.h"
#include "board/move_input.h"
#include "board/notation.h"
#include "book/book.h"

// Comparison and printing of entries, where gtest and std::vector find
// them (the namespace of BookEntry).
inline bool operator==(const BookEntry& a, const BookEntry& b) {
    return a.key == b.key && a.wins == b.wins && a.losses == b.losses && a.draws == b.draws &&
           a.learn == b.learn;
}

inline std::ostream& operator<<(std::ostream& out, const BookEntry& e) {
    return out << "{" << std::hex << e.key << std::dec << " +" << e.wins << " -" << e.losses
               << " =" << e.draws << " learn " << e.learn << "}";
}

namespace book_test {

// The two tables of a book file, in file order.
struct BookTables {
    std::vector<BookEntry> tables[2];
    bool operator==(const BookTables&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const BookTables& book) {
    for (int side : {white, black}) {
        out << (side == white ? "white:" : " black:");
        for (const BookEntry& e : book.tables[side]) out << " " << e;
    }
    return out;
}

// A directory of its own for each test, removed at the end; the tests of
// one binary may run in parallel processes.
class ScratchDir : public testing::Test {
protected:
    std::filesystem::path dir;

    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "velkan-book-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    std::string path(const std::string& name) const { return (dir / name).string(); }
};

inline void write_text(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

inline void write_book(const std::string& path, const BookTables& book) {
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    write_book_header(file, uint32_t(book.tables[white].size()), uint32_t(book.tables[black].size()));
    for (int side : {white, black})
        for (const BookEntry& entry : book.tables[side]) write_book_entry(file, entry);
    std::fclose(file);
}

// The book in the file; empty tables when there is no file.
inline BookTables read_book(const std::string& path) {
    BookTables book;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return book;
    uint32_t counts[2] = {0, 0};
    read_book_header(file, counts[white], counts[black]);
    for (int side : {white, black})
        for (uint32_t i = 0; i < counts[side]; ++i) {
            BookEntry entry;
            if (read_book_entry(file, entry)) book.tables[side].push_back(entry);
        }
    std::fclose(file);
    return book;
}

inline SearchState& scratch_board() {
    static SearchState state;
    static const bool attack_table_built = (init_attack_table(), true);
    (void)attack_table_built;
    return state;
}

// Plays space-separated SAN moves on `state` from the initial position.
inline void play_san(SearchState& state, const std::string& moves) {
    new_position(state);
    std::istringstream words(moves);
    for (std::string word; words >> word;) {
        Move m = 0;
        ASSERT_TRUE(san_to_move(state, word.data(), m)) << word;
        make_move(state, m);
    }
}

// pos_key after the SAN moves from the initial position.
inline HashKey key_after(const std::string& moves) {
    SearchState& state = scratch_board();
    play_san(state, moves);
    return state.pos_key;
}

inline BookEntry entry(const std::string& moves, int wins, int losses, int draws,
                       int learn = fresh_learn) {
    return BookEntry{key_after(moves), uint16_t(wins), uint16_t(losses), uint16_t(draws),
                     uint16_t(learn)};
}

// The entries in table order (ascending keys), as a book file holds them.
inline BookTables sorted(BookTables book) {
    for (auto& table : book.tables)
        std::sort(table.begin(), table.end(),
                  [](const BookEntry& a, const BookEntry& b) { return a.key < b.key; });
    return book;
}

}  // namespace book_test
