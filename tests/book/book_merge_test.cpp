// Merging two books: key order, added counts, weighted learn values, the
// summary lines and the files it refuses.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "book/book_files.h"
#include "book/book_tools.h"

using namespace book_test;

namespace {

BookEntry counts(HashKey key, int wins, int losses, int draws, int learn = fresh_learn) {
    return {key, uint16_t(wins), uint16_t(losses), uint16_t(draws), uint16_t(learn)};
}

class BookMerge : public ScratchDir {
protected:
    // Merges the two books into c.dat; returns what was said.
    std::string merge(const BookTables& one, const BookTables& two, double w1 = 1, double w2 = 1) {
        write_book(path("a.dat"), one);
        write_book(path("b.dat"), two);
        testing::internal::CaptureStdout();
        merge_books(path("a.dat").c_str(), path("b.dat").c_str(), path("c.dat").c_str(), w1, w2);
        return testing::internal::GetCapturedStdout();
    }
};

}  // namespace

TEST_F(BookMerge, KeysOfBothBooksComeOutInOrder) {
    const std::string said = merge({{{counts(1, 1, 0, 0), counts(5, 2, 0, 0), counts(9, 3, 0, 0)}, {counts(2, 0, 1, 0)}}},
                                   {{{counts(3, 4, 0, 0)}, {}}});
    const BookTables expected = {{{counts(1, 1, 0, 0), counts(3, 4, 0, 0), counts(5, 2, 0, 0), counts(9, 3, 0, 0)},
                                  {counts(2, 0, 1, 0)}}};
    EXPECT_EQ(read_book(path("c.dat")), expected);
    EXPECT_EQ(said, "Merging...\n3 1 positions from " + path("a.dat") + "\n1 0 positions from " + path("b.dat") +
                        "\n4 1 positions  to  " + path("c.dat") + "\nFinished\n");
}

TEST_F(BookMerge, CommonKeysAddCountsAndWeightedLearn) {
    const struct {
        const char* name;
        BookTables one;
        BookTables two;
        double w1, w2;
        BookTables expected;
    } cases[] = {
        {"a book with itself",
         {{{counts(4, 3, 2, 1), counts(8, 1, 0, 0, 0)}, {counts(4, 1, 1, 1, 400)}}},
         {{{counts(4, 3, 2, 1), counts(8, 1, 0, 0, 0)}, {counts(4, 1, 1, 1, 400)}}},
         1, 1,
         {{{counts(4, 6, 4, 2, 200), counts(8, 2, 0, 0, 0)}, {counts(4, 2, 2, 2, 800)}}}},
        {"weights truncate",
         {{{counts(4, 1, 0, 0, 3), counts(6, 1, 0, 0)}, {}}},
         {{{counts(4, 1, 0, 0), counts(7, 1, 0, 0)}, {}}},
         0.5, 2,
         {{{counts(4, 2, 0, 0, 201), counts(6, 1, 0, 0, 50), counts(7, 1, 0, 0, 200)}, {}}}},
        {"sums stop at the limit",
         {{{counts(4, 40000, 65535, 1, 60000)}, {}}},
         {{{counts(4, 40000, 1, 1, 100)}, {}}},
         1, 1000,
         {{{counts(4, 65535, 65535, 2, 65535)}, {}}}},
        {"negative weight",
         {{{counts(4, 1, 0, 0)}, {}}},
         {{{}, {}}},
         -1, 1,
         {{{counts(4, 1, 0, 0, 0)}, {}}}},
    };
    for (const auto& c : cases) {
        merge(c.one, c.two, c.w1, c.w2);
        EXPECT_EQ(read_book(path("c.dat")), c.expected) << c.name;
    }
}

TEST_F(BookMerge, FilesThatCannotBeUsedAreNamedAndNothingIsOverwritten) {
    const BookTables book = {{{counts(4, 1, 0, 0)}, {}}};
    write_book(path("a.dat"), book);
    write_book(path("b.dat"), book);
    const struct {
        std::string one, two, output, message;
    } cases[] = {
        {path("none.dat"), path("b.dat"), path("c.dat"), "Error (cannot open file): " + path("none.dat")},
        {path("a.dat"), path("none.dat"), path("c.dat"), "Error (cannot open file): " + path("none.dat")},
        {path("a.dat"), path("b.dat"), path("no/dir/c.dat"), "Error (cannot create file): " + path("no/dir/c.dat")},
        {path("a.dat"), path("b.dat"), path("b.dat"), "Error (cannot write over an input book): " + path("b.dat")},
    };
    for (const auto& c : cases) {
        testing::internal::CaptureStdout();
        EXPECT_FALSE(merge_books(c.one.c_str(), c.two.c_str(), c.output.c_str(), 1, 1));
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.message + "\n");
        EXPECT_FALSE(std::filesystem::exists(path("c.dat")));
    }
    EXPECT_EQ(read_book(path("b.dat")), book);
}
