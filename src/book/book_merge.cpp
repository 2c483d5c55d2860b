// `merge`: two books into a third. The white tables and then the black
// tables of both books are read side by side, one record at a time, and
// written in ascending key order; a key in both books is written once with
// the counts and learn values added. Each book's learn values are first
// multiplied by its weight, so a book can count for more or less than the
// other.

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "book/book.h"
#include "book/book_tools.h"
#include "protocol/console.h"

namespace {

// One table of an input book read in key order, with the next record
// waiting in `next` while `has_next` is set.
struct TableReader {
    FILE* file;
    uint32_t left;  // records not yet read
    double weight;
    BookEntry next;
    bool has_next = false;
};

uint16_t weighted_learn(uint16_t learn, double weight) {
    const double value = double(learn) * weight;
    if (!(value > 0)) return 0;
    return uint16_t(std::min<double>(value, book_count_limit));
}

void advance(TableReader& reader) {
    reader.has_next = reader.left > 0 && read_book_entry(reader.file, reader.next);
    if (!reader.has_next) return;
    --reader.left;
    reader.next.learn = weighted_learn(reader.next.learn, reader.weight);
}

// Starts reading the table that begins after `records_before` records.
TableReader start_table(FILE* file, uint32_t records_before, uint32_t count, double weight) {
    TableReader reader{file, count, weight, BookEntry{}};
    const uint64_t offset = book_header_size + uint64_t(book_record_size) * records_before;
    if (std::fseek(file, long(offset), SEEK_SET) != 0) reader.left = 0;
    advance(reader);
    return reader;
}

// Merges one table of each book into the output; `written` counts the
// records written.
bool merge_tables(TableReader& first, TableReader& second, FILE* output, uint32_t& written) {
    written = 0;
    while (first.has_next || second.has_next) {
        BookEntry entry;
        if (!second.has_next || (first.has_next && first.next.key < second.next.key)) {
            entry = first.next;
            advance(first);
        } else if (!first.has_next || second.next.key < first.next.key) {
            entry = second.next;
            advance(second);
        } else {
            entry = first.next;
            entry.wins = saturating_add(entry.wins, second.next.wins);
            entry.losses = saturating_add(entry.losses, second.next.losses);
            entry.draws = saturating_add(entry.draws, second.next.draws);
            entry.learn = saturating_add(entry.learn, second.next.learn);
            advance(first);
            advance(second);
        }
        if (!write_book_entry(output, entry)) return false;
        ++written;
    }
    return true;
}

// An input book with its header (a file too short for one is empty).
struct InputBook {
    FILE* file = nullptr;
    uint32_t white_count = 0;
    uint32_t black_count = 0;
};

bool open_input(const char* name, InputBook& book) {
    book.file = std::fopen(name, "rb");
    if (!book.file) {
        emit("Error (cannot open file): %s\n", name);
        return false;
    }
    if (!read_book_header(book.file, book.white_count, book.black_count))
        book.white_count = book.black_count = 0;
    return true;
}

// Writing over an input would destroy it before it is read.
bool is_an_input(const char* output, const char* book1, const char* book2) {
    std::error_code error;
    return std::filesystem::equivalent(output, book1, error) ||
           std::filesystem::equivalent(output, book2, error);
}

bool merge_open_books(InputBook& one, InputBook& two, FILE* output, double weight1,
                      double weight2, uint32_t counts[2]) {
    if (!write_book_header(output, 0, 0)) return false;
    TableReader first = start_table(one.file, 0, one.white_count, weight1);
    TableReader second = start_table(two.file, 0, two.white_count, weight2);
    if (!merge_tables(first, second, output, counts[white])) return false;
    first = start_table(one.file, one.white_count, one.black_count, weight1);
    second = start_table(two.file, two.white_count, two.black_count, weight2);
    if (!merge_tables(first, second, output, counts[black])) return false;
    std::rewind(output);
    return write_book_header(output, counts[white], counts[black]);
}

}  // namespace

bool merge_books(const char* book1, const char* book2, const char* output, double weight1,
                 double weight2) {
    InputBook one;
    InputBook two;
    if (!open_input(book1, one)) return false;
    if (!open_input(book2, two)) {
        std::fclose(one.file);
        return false;
    }
    FILE* out = nullptr;
    if (is_an_input(output, book1, book2))
        emit("Error (cannot write over an input book): %s\n", output);
    else if (!(out = std::fopen(output, "wb")))
        emit("Error (cannot create file): %s\n", output);
    bool written = false;
    if (out) {
        emit("Merging...\n");
        uint32_t counts[2] = {0, 0};
        written = merge_open_books(one, two, out, weight1, weight2, counts);
        written = std::fclose(out) == 0 && written;
        if (written) {
            emit("%u %u positions from %s\n", one.white_count, one.black_count, book1);
            emit("%u %u positions from %s\n", two.white_count, two.black_count, book2);
            emit("%u %u positions  to  %s\n", counts[white], counts[black], output);
            emit("Finished\n");
        } else {
            emit("Error (cannot write file): %s\n", output);
            std::remove(output);
        }
    }
    std::fclose(one.file);
    std::fclose(two.file);
    return written;
}
