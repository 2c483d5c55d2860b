#include <gtest/gtest.h>

#include <string>

#include "protocol/console.h"
#include "protocol/game.h"
#include "search/root.h"
#include "search/search.h"
#include "search/time_control.h"

namespace {

// Restores the clock settings and flags the tests change.
class TimeControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        time_control = TimeControl{};
        new_position_flag = 0;
        ponder_mode = 0;
        no_clock = 0;
    }
    void TearDown() override { SetUp(); }

    // Runs a command handler on the given argument words.
    static void run(bool (*handler)(char**, int), std::initializer_list<const char*> words) {
        std::string storage[4];
        char* args[4] = {};
        int count = 0;
        for (const char* word : words) {
            storage[count] = word;
            args[count] = storage[count].data();
            ++count;
        }
        handler(args, count);
    }

    static std::string allot(int hply) {
        testing::internal::CaptureStdout();
        allot_time(time_control, hply);
        return testing::internal::GetCapturedStdout();
    }
};

TEST_F(TimeControlTest, PeriodStartPlansAnEvenShareAndHalfTheClock) {
    run(command_level, {"40", "5", "0"});
    EXPECT_EQ(allot(0), "[st = 7.10s, mt = 149.50s , hply = 0 , moves_left 40]\n");
    EXPECT_EQ(time_control.allotted_ms, 7101);
    EXPECT_EQ(time_control.max_time_ms, 149500);

    // Just after a set-up the plan is doubled, the hard limit is not.
    new_position_flag = 1;
    allot(0);
    EXPECT_EQ(time_control.allotted_ms, 14202);
    EXPECT_EQ(time_control.max_time_ms, 149500);
}

TEST_F(TimeControlTest, LastMoveOfPeriodMayUseTheWholeClock) {
    run(command_level, {"40", "5", "0"});
    run(command_time, {"2000"});
    EXPECT_EQ(allot(78), "[st = 19.00s, mt = 19.00s , hply = 78 , moves_left 1]\n");
    EXPECT_EQ(time_control.allotted_ms, 19000);
    EXPECT_EQ(time_control.max_time_ms, 19000);
    // Two and three moves before the control the limit is 3/4 and 2/3.
    allot(76);
    EXPECT_EQ(time_control.max_time_ms, 19000 * 3 / 4);
    allot(74);
    EXPECT_EQ(time_control.max_time_ms, 2 * 19000 / 3);
}

TEST_F(TimeControlTest, IncrementAndSuddenDeathControls) {
    run(command_level, {"0", "5", "3"});
    EXPECT_EQ(allot(10), "[st = 11.54s, mt = 149.50s , hply = 10 , moves_left 35]\n");
    EXPECT_EQ(time_control.allotted_ms, 11542);

    run(command_level, {"0", "1", "0"});
    EXPECT_EQ(allot(0), "[st = 1.48s, mt = 14.75s , hply = 0 , moves_left 40]\n");
    EXPECT_EQ(time_control.allotted_ms, 1475);
    EXPECT_EQ(time_control.max_time_ms, 14750);

    // Searching for a move to ponder on uses a quarter of the usable time.
    ponder_mode = 1;
    allot(0);
    EXPECT_EQ(time_control.allotted_ms, 14750 / 40);
}

TEST_F(TimeControlTest, PonderHitAddsHalfThePonderTime) {
    run(command_level, {"40", "5", "0"});
    no_clock = 1;
    search_start_ms = now_ms() - 2000;
    allot_time_after_ponder_hit(0);
    EXPECT_EQ(no_clock, 0);
    EXPECT_GE(time_control.allotted_ms, 7101 + 1000);
    EXPECT_LE(time_control.allotted_ms, 7101 + 1100);
    EXPECT_EQ(time_control.max_time_ms, 149500);
}

TEST_F(TimeControlTest, NearlyEmptyClockUsesSeventyPercent) {
    run(command_level, {"0", "1", "0"});
    run(command_time, {"50"});
    allot(0);
    EXPECT_EQ(time_control.max_time_ms, 350 / 4);
    EXPECT_EQ(time_control.allotted_ms, 350 / 40);
}

TEST_F(TimeControlTest, FixedTimeAndDepthLimitForms) {
    run(command_st, {"10"});
    EXPECT_EQ(allot(4), "[st = 10.00s, mt = 10.00s , hply = 4]\n");
    // The interface flags a fixed-time move a millisecond over: the search
    // keeps a tenth of the time, at most 100 ms, for its answer to arrive.
    EXPECT_EQ(time_control.allotted_ms, 9900);
    EXPECT_EQ(time_control.max_time_ms, 9900);
    run(command_st, {"1"});
    EXPECT_EQ(allot(4), "[st = 1.00s, mt = 1.00s , hply = 4]\n");
    EXPECT_EQ(time_control.max_time_ms, 900);

    run(command_sd, {"6"});
    EXPECT_EQ(allot(4), "[sd = 6 , hply = 4]\n");
    EXPECT_EQ(time_control.allotted_ms, unlimited_time);
    EXPECT_EQ(time_control.max_time_ms, unlimited_time);
}

TEST_F(TimeControlTest, LaterLimitCommandWins) {
    run(command_st, {"5"});
    run(command_sd, {"8"});
    EXPECT_EQ(time_control.max_depth, 8);
    EXPECT_EQ(time_control.fixed_time_ms, unlimited_time);
    run(command_st, {"5"});
    EXPECT_EQ(time_control.max_depth, no_depth_limit);
    EXPECT_EQ(time_control.fixed_time_ms, 5000);
    run(command_level, {"40", "5", "0"});
    EXPECT_EQ(time_control.fixed_time_ms, unlimited_time);
}

TEST_F(TimeControlTest, LevelReadsMinutesAndSeconds) {
    run(command_level, {"0", "2:30", "12"});
    EXPECT_EQ(time_control.time_left_ms, 150000);
    EXPECT_EQ(time_control.opponent_time_ms, 150000);
    EXPECT_EQ(time_control.increment_ms, 12000);
    EXPECT_EQ(time_control.moves_per_session, 0);
    run(command_otim, {"1234"});
    EXPECT_EQ(time_control.opponent_time_ms, 12340);
    // Unreadable text reads as 0, and values too large for the clock are
    // held at its limit instead of wrapping.
    run(command_level, {"x", "y", "z"});
    EXPECT_EQ(time_control.time_left_ms, 0);
    run(command_time, {"99999999999"});
    EXPECT_GT(time_control.time_left_ms, 0);
    run(command_st, {"-99999999999"});
    EXPECT_LT(time_control.fixed_time_ms, 0);
}

TEST(TimeExtension, FactorFollowsTheScoreDrop) {
    // score, previous -> factor
    struct Case {
        int score, previous;
        float factor;
    };
    const Case cases[] = {
        {100, 40, 2.0f},     // rose by 60, game open
        {800, 700, 1.0f},    // rose, but decided
        {100, 110, 1.0f},    // small drop
        {100, 150, 1.5f},    // drop 50
        {100, 200, 3.0f},    // drop 100
        {100, 250, 4.0f},    // drop 150
        {100, 270, 6.0f},    // drop 170
        {-800, -700, 3.0f},  // a lost game still fights
        {750, 1000, 1.0f},   // winning by more than 700
    };
    for (const Case& c : cases)
        EXPECT_EQ(time_extension_factor(c.score, c.previous), c.factor)
            << c.score << " after " << c.previous;
}

TEST(PollInterval, AboutATenthOfASecondClamped) {
    EXPECT_EQ(next_poll_interval(400000, 1000, 1), 40000u);
    EXPECT_EQ(next_poll_interval(400000, 1000, 2), 20000u);
    EXPECT_EQ(next_poll_interval(1000, 1000, 1), min_poll_interval);
    EXPECT_EQ(next_poll_interval(50000000, 1000, 1), max_poll_interval);
    // A few milliseconds in, or a clock that stepped back.
    EXPECT_EQ(next_poll_interval(100000, 1, 1), max_poll_interval);
    EXPECT_EQ(next_poll_interval(100000, -5, 1), min_poll_interval);

    // 2,000 nodes a millisecond: a limit 40 ms away brings the next poll
    // 20 ms on, one 150 ms away 75 ms on at 1,000 nodes a millisecond; a
    // limit twice the interval away or more changes nothing; the interval
    // never falls below its floor nor grows.
    EXPECT_EQ(poll_interval_before_limit(100000, 2000000, 1000, 40), 40000u);
    EXPECT_EQ(poll_interval_before_limit(100000, 2000000, 1000, 100), 100000u);
    EXPECT_EQ(poll_interval_before_limit(100000, 1000000, 1000, 150), 75000u);
    EXPECT_EQ(poll_interval_before_limit(100000, 2000000, 1000, 150), 100000u);
    EXPECT_EQ(poll_interval_before_limit(100000, 2000000, 1000, 1), min_poll_interval);
    EXPECT_EQ(poll_interval_before_limit(100000, 2000000, 1000, -30), min_poll_interval);
    EXPECT_EQ(poll_interval_before_limit(30000, 2000000, 1000, 90), 30000u);
    EXPECT_EQ(poll_interval_before_limit(40000, 2000000, 0, 10), 40000u);
}

TEST_F(TimeControlTest, PollStopsAtTheHardLimitAndTheExtendedPlan) {
    const int saved_side = engine_side;
    engine_side = white;
    time_control.allotted_ms = 1000;
    time_control.max_time_ms = 5000;
    static SearchState state;
    auto poll_after = [&](int elapsed) {
        abort_flag = 0;
        search_start_ms = now_ms() - elapsed;
        check_input_and_time(state);
        return abort_flag.load() != 0;
    };
    // A score 150 below the previous search: factor 4.
    last_score = 100;
    previous_score = 250;
    unstable_score = 0;
    EXPECT_FALSE(poll_after(3000));
    EXPECT_TRUE(poll_after(4100));
    // Never past the hard limit, even when unstable; no limit without clock.
    unstable_score = 1;
    EXPECT_FALSE(poll_after(4100));
    EXPECT_TRUE(poll_after(5100));
    no_clock = 1;
    EXPECT_FALSE(poll_after(50000));
    no_clock = 0;
    unstable_score = 0;
    // A new position is never extended.
    new_position_flag = 1;
    EXPECT_TRUE(poll_after(1100));
    new_position_flag = 0;

    // The next poll is scheduled from the current node count with the
    // interval for the time left: a tenth of a second (at most the maximum)
    // far from the limit, halfway to it near it (2,000 nodes a millisecond,
    // 20 ms left: 10 ms on).
    time_control.allotted_ms = 5000;
    previous_score = last_score;
    state.nodes = 1000000;
    state.next_check = 0;
    EXPECT_FALSE(poll_after(500));
    EXPECT_EQ(state.next_check, state.nodes + max_poll_interval);
    state.nodes = 9960000;
    EXPECT_FALSE(poll_after(4980));
    EXPECT_GE(state.next_check, state.nodes + 19000);
    EXPECT_LE(state.next_check, state.nodes + 21000);
    state.nodes = 0;
    engine_side = saved_side;
    abort_flag = 0;
}

}  // namespace
