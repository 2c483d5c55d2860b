// Self-play through the real program: one engine process plays both sides of
// a few short games, answering `go` for whichever side is to move. Every
// "move X" it prints is matched against the legal moves of a shadow copy of
// the game kept in this process, and the game's last move must be followed
// by the result line naming the ending the shadow game reached.

#include <gtest/gtest.h>

#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "board/move_input.h"
#include "e2e/engine_process.h"
#include "search/game_referee.h"

using referee::GameEnd;

namespace {

#if defined(VELKAN_SANITIZED)
constexpr int ply_cap = 30;
#else
constexpr int ply_cap = 120;
#endif
// An unknown word is answered by an error line: a marker that everything the
// engine printed before it has arrived.
constexpr const char* sync_word = "selfplaysync";

bool is_result_line(const std::string& line) {
    return line.rfind("1-0 ", 0) == 0 || line.rfind("0-1 ", 0) == 0 || line.rfind("1/2-1/2 ", 0) == 0;
}

// What the engine answered to one `go`.
struct Reply {
    std::string move;    // the text after "move ", or empty
    std::string result;  // a result line printed before any move
    bool resigned = false;
};

Reply read_reply(EngineProcess& engine) {
    Reply reply;
    std::string line;
    while (read_line(engine, line)) {
        if (line.rfind("move ", 0) == 0) {
            reply.move = line.substr(5);
            break;
        }
        if (is_result_line(line)) reply.result = line;
        if (line == "resign") reply.resigned = true;
        if (!reply.result.empty() || reply.resigned) break;
    }
    return reply;
}

// The result line printed after the last move, "" when there is none.
std::string read_result_after_move(EngineProcess& engine) {
    send_line(engine, sync_word);
    std::vector<std::string> before;
    EXPECT_TRUE(wait_for(engine, std::string("Error (unknown command): ") + sync_word, &before));
    for (const std::string& line : before)
        if (is_result_line(line)) return line;
    return "";
}

std::string moves_so_far(const std::vector<std::string>& moves) {
    std::string text;
    for (const std::string& m : moves) text += " " + m;
    return text;
}

}  // namespace

TEST(SelfPlayE2E, EveryMoveIsLegalAndResultsNameTheEnding) {
    static SearchState shadow;
    init_attack_table();
    EngineProcess engine;
    start_engine(engine);
    int moves_checked = 0;
    int endings = 0;
    for (const char* fen : referee::varied_fens) {
        // The start position comes from `new`, the others from `setboard`.
        const std::string command = fen == start_fen ? std::string("new") : "setboard " + std::string(fen);
        set_fen(shadow, fen);
        send_line(engine, command);
        send_line(engine, "sd 2");
        std::vector<std::string> moves;
        GameEnd end = GameEnd::running;
        while (end == GameEnd::running && int(moves.size()) < ply_cap) {
            send_line(engine, "go");
            const Reply reply = read_reply(engine);
            ASSERT_TRUE(reply.result.empty()) << "result without a mate or draw: " << reply.result
                                              << "\n  after " << command << moves_so_far(moves);
            if (reply.resigned) break;
            ASSERT_FALSE(reply.move.empty()) << "no move after " << command << moves_so_far(moves);

            char text[16] = {};
            reply.move.copy(text, sizeof text - 1);
            Move m = text_to_move(text);
            ASSERT_TRUE(m != 0 && complete_user_move(shadow, m))
                << "illegal move " << reply.move << " after " << command << moves_so_far(moves);
            make_move(shadow, m);
            moves.push_back(reply.move);
            ++moves_checked;
            end = referee::game_end(shadow);
        }
        if (end != GameEnd::running) {
            ++endings;
            // The move that ends the game is followed by its result line.
            EXPECT_EQ(read_result_after_move(engine), referee::result_line(end, shadow))
                << command << moves_so_far(moves);
        }
    }
    send_line(engine, "quit");
    EXPECT_EQ(wait_exit(engine), 0);
    std::printf("%d games, %d moves checked, %d ended on the board\n", int(std::size(referee::varied_fens)),
                moves_checked, endings);
}
