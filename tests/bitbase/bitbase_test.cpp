#include <dlfcn.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "bitbase/bitbase.h"
#include "board/notation.h"
#include "protocol/console.h"

namespace {

const std::string fake_dir = VELKAN_FAKE_EGBB;
const std::string complete_dir = fake_dir + "/complete/";
const std::string missing_probe_dir = fake_dir + "/missing_probe";

// The calls the stand-in library recorded (its own copy of this record).
struct FakeCalls {
    char load_path[300];
    int load_cache_bytes;
    int load_type;
    int load_calls;
    int probe_args[9];
    int probe_calls;
};

FakeCalls& recorded_calls() {
    // The library is already loaded by the engine: this returns its handle.
    void* handle = dlopen((complete_dir + bitbase_library_name).c_str(), RTLD_NOW | RTLD_NOLOAD);
    EXPECT_NE(handle, nullptr);
    auto* calls = static_cast<FakeCalls*>(dlsym(handle, "fake_calls"));
    dlclose(handle);
    return *calls;
}

std::string bind_and_capture(const std::string& path, bool& bound) {
    testing::internal::CaptureStdout();
    bound = bind_library(path.c_str(), 1 << 20);
    return testing::internal::GetCapturedStdout();
}

std::unique_ptr<SearchState> position(const char* fen) {
    auto state = std::make_unique<SearchState>();
    set_fen(*state, fen);
    return state;
}

// Other tests run without bitbases: every test here leaves them unloaded.
class BitbaseTest : public ::testing::Test {
protected:
    void TearDown() override {
        bitbases_loaded = false;
        bool bound = true;
        bind_and_capture(fake_dir + "/nowhere", bound);
    }
};

TEST(BitbaseBinding, LibraryNameTakesTheSeparatorOfThePath) {
    char name[library_name_size];
    ASSERT_TRUE(library_file_name("./egbb/", name, sizeof name));
    EXPECT_STREQ(name, "./egbb/qordil64.dll");
    ASSERT_TRUE(library_file_name("/opt/egbb", name, sizeof name));
    EXPECT_STREQ(name, "/opt/egbb/qordil64.dll");
    ASSERT_TRUE(library_file_name("C:\\egbb", name, sizeof name));
    EXPECT_STREQ(name, "C:\\egbb\\qordil64.dll");
    ASSERT_TRUE(library_file_name("C:\\egbb\\", name, sizeof name));
    EXPECT_STREQ(name, "C:\\egbb\\qordil64.dll");
    ASSERT_TRUE(library_file_name("", name, sizeof name));
    EXPECT_STREQ(name, "./qordil64.dll");
    // The longest configurable path does not fit with separator and name.
    const std::string longest(255, 'a');
    EXPECT_FALSE(library_file_name(longest.c_str(), name, sizeof name));
}

TEST_F(BitbaseTest, FailuresLeaveTheEngineWithoutBitbases) {
    bool bound = true;
    EXPECT_EQ(bind_and_capture(fake_dir + "/nowhere", bound), "EgbbProbe not Loaded!\n");
    EXPECT_FALSE(bound);

    EXPECT_EQ(bind_and_capture(missing_probe_dir, bound),
              "EgbbProbe not Loaded! Missing probe_egbb_5men.\n");
    EXPECT_FALSE(bound);

    EXPECT_EQ(bind_and_capture(std::string(255, 'a'), bound),
              "EgbbProbe not Loaded! Path too long.\n");
    EXPECT_FALSE(bound);

    int score = 1;
    auto state = position("8/8/8/8/8/8/1Q6/K6k w - - 0 1");
    EXPECT_FALSE(probe_bitbase(*state, score));
}

TEST_F(BitbaseTest, LibraryReceivesThePathAsConfigured) {
    bool bound = false;
    const std::string path = fake_dir + "/complete";
    EXPECT_EQ(bind_and_capture(path, bound), "");
    ASSERT_TRUE(bound);
    const FakeCalls& calls = recorded_calls();
    EXPECT_EQ(std::string(calls.load_path), path);
    EXPECT_EQ(calls.load_cache_bytes, 1 << 20);
    EXPECT_EQ(calls.load_type, egbb_load_type);
}

TEST_F(BitbaseTest, LoaderConvertsTheCacheSizeAndReports) {
    const std::string saved_path = egbb_path;
    std::snprintf(egbb_path, sizeof egbb_path, "%s", complete_dir.c_str());
    egbb_cache_size = 8;
    bitbases_ready = 0;
    testing::internal::CaptureStdout();
    load_bitbases();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "loading_time = 0s\n");
    EXPECT_TRUE(bitbases_loaded);
    EXPECT_EQ(bitbases_ready.load(), 1);
    EXPECT_EQ(egbb_cache_size, 8 << 20);
    EXPECT_EQ(recorded_calls().load_cache_bytes, 8 << 20);

    // A size beyond what the library's byte count holds is capped.
    egbb_cache_size = 5000;
    testing::internal::CaptureStdout();
    load_bitbases();
    testing::internal::GetCapturedStdout();
    EXPECT_GT(egbb_cache_size, 0);
    std::snprintf(egbb_path, sizeof egbb_path, "%s", saved_path.c_str());
    egbb_cache_size = 4;
}

TEST_F(BitbaseTest, MenFillTheSlotsInTheLibrarysOrder) {
    bool bound = false;
    bind_and_capture(complete_dir, bound);
    ASSERT_TRUE(bound);
    // Black knight, white rook, white pawn: white men first, pawns first.
    auto state = position("8/8/3n4/8/8/8/P7/K3R2k b - - 0 1");
    int score = 0;
    EXPECT_FALSE(probe_bitbase(*state, score));  // unknown to the stand-in
    const int expected[9] = {black, 0, 7, white_pawn, 8, white_rook, 4, black_knight, 43};
    const FakeCalls& calls = recorded_calls();
    for (int i = 0; i < 9; ++i) EXPECT_EQ(calls.probe_args[i], expected[i]) << "argument " << i;

    // Two kings: all slots empty (piece 0 on square 0); a draw is found.
    state = position("8/8/8/8/8/8/8/K6k w - - 0 1");
    EXPECT_TRUE(probe_bitbase(*state, score));
    EXPECT_EQ(score, 0);
    EXPECT_EQ(calls.probe_args[3], 0);
    EXPECT_EQ(calls.probe_args[4], 0);

    // The score is from the side to move.
    state = position("8/8/8/8/8/8/1Q6/K6k b - - 0 1");
    EXPECT_TRUE(probe_bitbase(*state, score));
    EXPECT_EQ(score, -3000);
}

}  // namespace
