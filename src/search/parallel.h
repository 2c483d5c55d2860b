#pragma once
// The parallel search: up to eight threads, one per worker slot. Slot 0 is
// the main thread, which runs the iterative deepening; the others wait as
// idle workers during a search and park between searches. A thread that
// has searched the first move of a deep node hands copies of its state to
// every idle worker and to itself; all of them then take the node's
// remaining moves from the original, which serves as the split point. A
// copy that is done merges its result into the split point; the last one
// to finish continues the search from there, so nobody waits at a split.
//
// Locks are spin locks. Order: pool_lock first, then a split point's
// split_lock, then the split_lock of a copy made from it.

#include <atomic>
#include <thread>

#include "search/search_state.h"

struct EvalCache;
struct PawnTable;

constexpr int max_workers = 8;
// Search states for split copies (entry 0 is worker 0's own, always in use).
constexpr int pool_size = 128;

// A node is offered to idle workers only above this depth (eighths of a ply):
// shallower subtrees finish before a split pays for its copying.
constexpr int split_min_depth = 16;

// Worker status.
constexpr int worker_created = 0;      // thread being started
constexpr int worker_parked = 1;       // between searches: sleeps 1 ms per look
constexpr int worker_idle = 2;         // in a search without work: spins
constexpr int worker_working = 3;      // searching its state
constexpr int worker_not_running = 4;  // no thread
constexpr int worker_handed_back = 5;  // worker 0: the root state came back

// One thread slot. `state` and `status` are written by other threads (under
// pool_lock) only while this thread is idle; it reads them without a lock.
struct Worker {
    std::atomic<SearchState*> state{nullptr};
    std::atomic<int> status{worker_not_running};
    PawnTable* pawn_table = nullptr;
    EvalCache* eval_cache = nullptr;
};

extern Worker workers[max_workers];
// Entry 0 is the main search state; the others are lent to splits.
extern SearchState search_pool[pool_size];
// Threads running, 1 to max_workers.
extern std::atomic<int> worker_count;
// Workers spinning in the idle loop (changed under pool_lock).
extern std::atomic<int> idle_count;
extern std::atomic<int> pool_lock;

// Spin lock on a word: exchange 1 in until the old value was 0; release
// stores 0.
void acquire_lock(std::atomic<int>& lock);
void release_lock(std::atomic<int>& lock);

// Starts or ends helper threads until n (1 to max_workers) run, printing one
// line per thread; a thread that cannot be started is reported in one line
// and the threads already running are kept. Returns the count now running.
int set_worker_count(int n);
// How a helper thread is started: a thread running body(slot). Tests replace
// it to make a start fail (throwing std::system_error as std::thread does).
extern std::thread (*launch_worker_thread)(void (*body)(int), int slot);

// Around every search: helpers go from parked to idle (the call returns
// when all of them spin) and back to parked.
void wake_workers();
void park_workers();

// Offers the node at the state's current ply to the idle workers. True when
// it was split: the calling thread then works on its own copy (its worker's
// state), continuing the node's move loop there.
bool try_split(SearchState& state);
// A copy's next move at its split ply, taken from the split point; 0 when
// the split point has none left. Also exchanges the best score and window
// with the split point.
Move pick_split_move(SearchState& copy);
// A fail-high in a copy at its split ply: every copy of the split point
// (and every split made from them) stops.
void stop_split_point(SearchState& copy);
// A copy returns at its split ply, or stopped, or aborted: its result goes
// into the split point and the copy goes back to the pool. Returns the
// split point when this thread was the last one working for it (the thread
// now continues it), null when others still work (the thread is idle).
SearchState* merge_copy(SearchState& copy, int slot);
// A helper finished the run of a state that is not a copy (the root state it
// took over as last finisher): it goes back to worker 0.
void hand_back(SearchState& state, int slot);

// The wait of a thread without work. Helpers stay here until their slot is
// ended; worker 0 returns when the root state comes back or when it finished
// that state's run itself.
void idle_loop(int slot);

// The per-thread tables of a running slot, null for a slot without thread.
PawnTable* worker_pawn_table(int slot);
EvalCache* worker_eval_cache(int slot);
// Empties every running thread's evaluation cache (after new weights).
void clear_worker_eval_caches();
// Before a command changes the shared tables during a search: the search is
// aborted and the call returns once no helper works on a state any more.
// Nothing to do while the helpers are parked.
void quiet_helpers();
