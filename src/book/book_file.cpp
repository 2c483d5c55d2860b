// The book file: its byte layout and the binary search the probes make in
// it. Every lookup seeks and reads single records, so a book of any size
// costs no memory and the file can be replaced only by a restart.

#include "book/book.h"

namespace {

// The open book: the file and the table sizes read from its header.
struct OpenBook {
    FILE* file = nullptr;
    uint32_t white_count = 0;
    uint32_t black_count = 0;
};

OpenBook open_book_file;

uint64_t read_little_endian(const unsigned char* bytes, int count) {
    uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = value << 8 | bytes[i];
    return value;
}

void write_little_endian(unsigned char* bytes, uint64_t value, int count) {
    for (int i = 0; i < count; ++i) {
        bytes[i] = static_cast<unsigned char>(value & 0xff);
        value >>= 8;
    }
}

// The record at `index` of the whole file (white records first).
bool read_record_at(const OpenBook& book, uint64_t index, BookEntry& entry) {
    const uint64_t offset = book_header_size + book_record_size * index;
    if (std::fseek(book.file, long(offset), SEEK_SET) != 0) return false;
    return read_book_entry(book.file, entry);
}

}  // namespace

bool read_book_entry(FILE* file, BookEntry& entry) {
    unsigned char bytes[book_record_size];
    if (std::fread(bytes, 1, sizeof bytes, file) != sizeof bytes) return false;
    entry.key = read_little_endian(bytes, 8);
    entry.wins = uint16_t(read_little_endian(bytes + 8, 2));
    entry.losses = uint16_t(read_little_endian(bytes + 10, 2));
    entry.draws = uint16_t(read_little_endian(bytes + 12, 2));
    entry.learn = uint16_t(read_little_endian(bytes + 14, 2));
    return true;
}

bool write_book_entry(FILE* file, const BookEntry& entry) {
    unsigned char bytes[book_record_size];
    write_little_endian(bytes, entry.key, 8);
    write_little_endian(bytes + 8, entry.wins, 2);
    write_little_endian(bytes + 10, entry.losses, 2);
    write_little_endian(bytes + 12, entry.draws, 2);
    write_little_endian(bytes + 14, entry.learn, 2);
    return std::fwrite(bytes, 1, sizeof bytes, file) == sizeof bytes;
}

bool read_book_header(FILE* file, uint32_t& white_count, uint32_t& black_count) {
    unsigned char bytes[book_header_size];
    if (std::fread(bytes, 1, sizeof bytes, file) != sizeof bytes) return false;
    white_count = uint32_t(read_little_endian(bytes, 4));
    black_count = uint32_t(read_little_endian(bytes + 4, 4));
    return true;
}

bool write_book_header(FILE* file, uint32_t white_count, uint32_t black_count) {
    unsigned char bytes[book_header_size];
    write_little_endian(bytes, white_count, 4);
    write_little_endian(bytes + 4, black_count, 4);
    return std::fwrite(bytes, 1, sizeof bytes, file) == sizeof bytes;
}

bool open_book(const char* name) {
    OpenBook& book = open_book_file;
    if (book.file) std::fclose(book.file);
    book = OpenBook{};
    book.file = std::fopen(name, "rb");
    if (!book.file) return false;
    // A file too short for its header is an empty book: it opens, and every
    // lookup misses.
    if (!read_book_header(book.file, book.white_count, book.black_count))
        book.white_count = book.black_count = 0;
    return true;
}

bool book_lookup(HashKey key, int side, BookEntry& entry) {
    const OpenBook& book = open_book_file;
    if (!book.file) return false;
    // Signed 64-bit bounds: hi may fall below lo, and neither overflows for
    // tables of up to 2^32 records.
    int64_t lo = side == white ? 0 : int64_t(book.white_count);
    int64_t hi = side == white ? int64_t(book.white_count) - 1
                               : int64_t(book.white_count) + book.black_count - 1;
    while (lo <= hi) {
        const int64_t mid = (lo + hi) / 2;
        BookEntry found;
        if (!read_record_at(book, uint64_t(mid), found)) return false;
        if (found.key == key) {
            entry = found;
            return true;
        }
        if (found.key > key)
            hi = mid - 1;
        else
            lo = mid + 1;
    }
    return false;
}
