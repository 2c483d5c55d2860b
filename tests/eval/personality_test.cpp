// Personality files: loading into the three parameter sets.

#include <cstring>
#include <filesystem>
#include <fstream>

#include "eval_fixture.h"

namespace {

namespace fs = std::filesystem;

// A scratch directory with a personality/ folder, removed afterwards.
class PersonalityDir {
public:
    PersonalityDir() : root_(fs::temp_directory_path() / ("velkan_per_" + std::to_string(getpid()))) {
        fs::create_directories(root_ / "personality");
    }
    ~PersonalityDir() { fs::remove_all(root_); }
    void write(const char* name, const char* text) const {
        std::ofstream(root_ / "personality" / (std::string(name) + ".per")) << text;
    }
    // Runs a command with the scratch directory as working directory.
    template <typename Command>
    bool run(Command command) const {
        const fs::path previous = fs::current_path();
        fs::current_path(root_);
        const bool result = command();
        fs::current_path(previous);
        return result;
    }

private:
    fs::path root_;
};

bool same(const EvalParams& a, const EvalParams& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

using Personality = EvalTest;

TEST_F(Personality, CommentOnlyFileLoadsAndChangesNothing) {
    PersonalityDir dir;
    dir.write("quiet", "# nothing here\n/ nor here\n\n");
    eval_param_sets[0].mobility_scale = 7;
    testing::internal::CaptureStdout();
    EXPECT_TRUE(dir.run([] { return load_personality("quiet", 0); }));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(eval_param_sets[0].mobility_scale, 7);
    EXPECT_EQ(eval_param_sets[0].lazy_margin, 0);
}

TEST_F(Personality, LongCommentLineIsSkippedWhole) {
    PersonalityDir dir;
    // A comment line of about 600 characters whose tail reads like a weight.
    const std::string text = "mobility_scale 90\n# " + std::string(590, 'x') + " mobility_scale 7\n" +
                             std::string(300, ' ') + "lazy_margin 120\n";
    dir.write("long", text.c_str());
    testing::internal::CaptureStdout();
    EXPECT_TRUE(dir.run([] { return load_personality("long", 0); }));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(eval_param_sets[0].mobility_scale, 90);
    EXPECT_EQ(eval_param_sets[0].lazy_margin, 120);  // a long weight line is read whole
}

TEST_F(Personality, PersonalityFillsAllThreeSets) {
    PersonalityDir dir;
    dir.write("sharp", "# header\nmobility_scale 120\nlazy_margin 100\n\tking_safety_scale\t-5\r\n");
    EXPECT_TRUE(dir.run([] { return command_personality("sharp"); }));
    EXPECT_EQ(eval_param_sets[0].mobility_scale, 120);
    EXPECT_EQ(eval_param_sets[0].lazy_margin, 100);
    EXPECT_EQ(eval_param_sets[0].king_safety_scale, -5);
    EXPECT_EQ(eval_param_sets[0].futl_margin, 0);
    EXPECT_TRUE(same(eval_param_sets[1], eval_param_sets[0]));
    EXPECT_TRUE(same(eval_param_sets[2], eval_param_sets[0]));
}

TEST_F(Personality, MultiPersonalityStopsAtTheFirstMissingFile) {
    PersonalityDir dir;
    dir.write("open", "exchange_scale 30\n");
    dir.write("end", "exchange_scale 50\n");
    eval_param_sets[1].exchange_scale = 11;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(dir.run([] { return command_multi_personality("open", "missing", "end"); }));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Personality missing not found!\n");
    EXPECT_EQ(eval_param_sets[0].exchange_scale, 30);
    EXPECT_EQ(eval_param_sets[1].exchange_scale, 11);
    EXPECT_EQ(eval_param_sets[2].exchange_scale, 0);
}

TEST_F(Personality, UnknownKeysAndTheirValuesAreReported) {
    PersonalityDir dir;
    dir.write("odd", "mobility_scale 100 foo 3\npassed_pawn_scale 12abc\nrook_on_7th_scale");
    testing::internal::CaptureStdout();
    EXPECT_TRUE(dir.run([] { return load_personality("odd", 2); }));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "unknown command: foo\nunknown command: 3\nmissing value: rook_on_7th_scale\n");
    EXPECT_EQ(eval_param_sets[2].mobility_scale, 100);
    EXPECT_EQ(eval_param_sets[2].passed_pawn_scale, 12);  // digits as far as they go
}

TEST_F(Personality, ShippedFileSetsEveryWeight) {
    use_shipped_personality();
    const EvalParams& p = eval_param_sets[0];
    for (int32_t weight : {p.futl_margin, p.exchange_scale, p.bishop_pair_scale, p.king_safety_scale,
                           p.mobility_scale, p.pawn_structure_scale, p.passed_pawn_scale,
                           p.rook_on_7th_scale, p.lazy_margin})
        EXPECT_GT(weight, 0);
}
