// Worker slots, the pool of search states, split points and the idle loop.

#include "search/parallel.h"

#include <chrono>
#include <system_error>
#include <vector>

#include "eval/eval_cache.h"
#include "eval/pawn_table.h"
#include "protocol/console.h"
#include "search/picker.h"
#include "search/search.h"
#include "search/time_control.h"
#include "search/trans_table.h"

SearchState search_pool[pool_size];
Worker workers[max_workers] = {{&search_pool[0], worker_working, &main_pawn_table, &main_eval_cache}};
std::atomic<int> worker_count{1};
std::atomic<int> idle_count{0};
std::atomic<int> pool_lock{0};

namespace {

// Between searches a parked worker looks at its status this often.
constexpr auto park_poll = std::chrono::milliseconds(1);
// With more threads than cores a lock waiter spins this many looks before it
// starts yielding: the holder may be waiting for this very core.
constexpr int spins_before_yield = 64;
// With a core per thread an idle worker only spins: a split is usually
// offered within microseconds, and a yield or a nap hands the core to any
// other process for a whole time slice. With more threads than cores it
// spins briefly and then blocks until its status changes (whoever changes
// it wakes it): spinning, yielding or napping there takes the cores from
// the threads doing the work, and every wake-up from a nap preempts one of
// them. Worker 0 naps instead of blocking, as it watches the clock.
constexpr int idle_spin_looks = 64;
constexpr auto idle_nap = std::chrono::microseconds(50);

// The helpers' own tables (slot 0 uses the main thread's).
PawnTable helper_pawn_tables[max_workers];
EvalCache helper_eval_caches[max_workers];
// Set by a helper thread as it starts, cleared as its last act: a slot is
// free for a new thread only once the old one is gone. Threads are detached,
// so the process can end with helpers parked.
std::atomic<bool> thread_running[max_workers];
// Set from wake_workers to park_workers: a search on the clock runs.
std::atomic<bool> helpers_awake{false};
// More threads run than the machine has hardware threads (set with the count).
std::atomic<bool> oversubscribed{false};

inline void cpu_relax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

void worker_thread(int slot) {
    idle_loop(slot);
    thread_running[slot].store(false, std::memory_order_release);
}

std::thread default_launch(void (*body)(int), int slot) { return std::thread(body, slot); }

// ------------------------------------------------------------ thread slots

template <typename Table>
void free_table(Table& table) {
    decltype(table.entries) empty;
    table.entries.swap(empty);
    table.mask = 0;
}

// Starts the thread of a free slot with its tables at the current sizes.
bool start_worker(int slot) {
    Worker& w = workers[slot];
    if (!resize_pawn_table(helper_pawn_tables[slot], 0) ||
        !resize_eval_table(helper_eval_caches[slot], 0)) {
        free_table(helper_pawn_tables[slot]);
        free_table(helper_eval_caches[slot]);
        emit("Error (out of memory): thread %d not started, %d running\n", slot,
             worker_count.load());
        return false;
    }
    w.pawn_table = &helper_pawn_tables[slot];
    w.eval_cache = &helper_eval_caches[slot];
    w.state.store(nullptr, std::memory_order_relaxed);
    w.status.store(worker_created, std::memory_order_release);
    thread_running[slot].store(true, std::memory_order_relaxed);
    try {
        launch_worker_thread(worker_thread, slot).detach();
    } catch (const std::system_error& error) {
        w.status.store(worker_not_running, std::memory_order_relaxed);
        thread_running[slot].store(false, std::memory_order_relaxed);
        w.pawn_table = nullptr;
        w.eval_cache = nullptr;
        free_table(helper_pawn_tables[slot]);
        free_table(helper_eval_caches[slot]);
        emit("Error (cannot start thread %d: %s): %d running\n", slot, error.what(),
             worker_count.load());
        return false;
    }
    while (w.status.load(std::memory_order_acquire) == worker_created) std::this_thread::yield();
    return true;
}

// Ends a parked helper: it leaves its idle loop when it sees not_running.
void stop_worker(int slot) {
    Worker& w = workers[slot];
    w.state.store(nullptr, std::memory_order_relaxed);
    w.status.store(worker_not_running, std::memory_order_release);
    while (thread_running[slot].load(std::memory_order_acquire)) std::this_thread::yield();
    w.pawn_table = nullptr;
    w.eval_cache = nullptr;
    free_table(helper_pawn_tables[slot]);
    free_table(helper_eval_caches[slot]);
}

// ------------------------------------------------------------------ splits

// A free pool entry marked in use, or null. Under pool_lock.
SearchState* take_pool_entry() {
    for (int i = 1; i < pool_size; ++i) {
        if (!search_pool[i].in_use) {
            search_pool[i].in_use = 1;
            return &search_pool[i];
        }
    }
    return nullptr;
}

// Gives worker `slot` the copy of split point `sp`. Under pool_lock.
void attach(SearchState& sp, SearchState& copy, int slot) {
    copy_search_state(copy, sp);
    copy.split_master = &sp;
    copy.stopped.store(0, std::memory_order_relaxed);
    copy.worker_index = slot;
    copy.base_ply = sp.ply;
    copy.ply_rec->pv_length = sp.ply;
    copy.ply_rec->best_move = 0;
    copy.copy_count = 0;
    for (SearchState*& c : copy.copies) c = nullptr;
    copy.nodes = copy.qnodes = copy.next_check = 0;
    copy.sel_depth = 0;
    copy.eval_count = copy.lazy_count = 0;
    copy.splits = copy.bad_splits = copy.egbb_probes = 0;
    copy.params = sp.params;
    copy.pawn_table = workers[slot].pawn_table;
    copy.eval_cache = workers[slot].eval_cache;
    workers[slot].state.store(&copy, std::memory_order_relaxed);
    sp.copies[slot] = &copy;
    ++sp.copy_count;
}

// Stops every copy of a split point, deeper splits first. Under pool_lock.
void stop_copies(SearchState& sp) {
    acquire_lock(sp.split_lock);
    for (SearchState* copy : sp.copies) {
        if (!copy) continue;
        if (copy->copy_count != 0) stop_copies(*copy);
        copy->stopped.store(1, std::memory_order_relaxed);
    }
    release_lock(sp.split_lock);
}

// A thread takes over a state: its own slot and tables. Under pool_lock.
void bind_state(SearchState& state, int slot) {
    state.worker_index = slot;
    state.pawn_table = workers[slot].pawn_table;
    state.eval_cache = workers[slot].eval_cache;
    workers[slot].state.store(&state, std::memory_order_relaxed);
}

// Worker 0 waiting inside a search does not poll (only its states do), so
// it watches the hard time limit here: a long wait must not lose on time.
// Only worker 0 reads the clock settings; kept out of line so that no load
// of them is ever moved into a helper's loop.
[[gnu::noinline]] void watch_hard_limit() {
    if (!helpers_awake.load(std::memory_order_relaxed) || no_clock ||
        abort_flag.load(std::memory_order_relaxed))
        return;
    if (now_ms() - search_start_ms >= time_control.max_time_ms) abort_flag = 1;
}

// Clears one kind of table for every running slot.
template <typename Table>
void for_each_table(Table* (*table_of)(int), void (*clear)(Table&)) {
    for (int slot = 0; slot < max_workers; ++slot)
        if (Table* table = table_of(slot)) clear(*table);
}

}  // namespace

std::thread (*launch_worker_thread)(void (*body)(int), int slot) = default_launch;

void acquire_lock(std::atomic<int>& lock) {
    while (lock.exchange(1, std::memory_order_acquire) != 0) {
        for (int looks = 0; lock.load(std::memory_order_relaxed) != 0;
             looks += looks < spins_before_yield) {
            if (looks < spins_before_yield || !oversubscribed.load(std::memory_order_relaxed))
                cpu_relax();
            else
                std::this_thread::yield();
        }
    }
}

void release_lock(std::atomic<int>& lock) { lock.store(0, std::memory_order_release); }

int set_worker_count(int n) {
    if (n < 1) n = 1;
    if (n > max_workers) n = max_workers;
    while (worker_count.load() < n) {
        int slot = 1;
        while (slot < max_workers && workers[slot].status.load() != worker_not_running) ++slot;
        if (slot == max_workers || !start_worker(slot)) break;
        ++worker_count;
        emit("+ Thread %d started.\n", slot);
    }
    while (worker_count.load() > n) {
        int slot = max_workers - 1;
        while (slot > 0 && workers[slot].status.load() == worker_not_running) --slot;
        if (slot == 0) break;
        stop_worker(slot);
        --worker_count;
        emit("- Thread %d terminated.\n", slot);
    }
    const unsigned cores = std::thread::hardware_concurrency();
    oversubscribed = cores != 0 && unsigned(worker_count.load()) > cores;
    return worker_count.load();
}

void wake_workers() {
    const int helpers = worker_count.load() - 1;
    if (helpers == 0) return;
    helpers_awake = true;
    for (int slot = 1; slot <= helpers; ++slot)
        workers[slot].status.store(worker_idle, std::memory_order_release);
    while (idle_count.load(std::memory_order_acquire) < helpers) std::this_thread::sleep_for(park_poll);
}

void park_workers() {
    const int helpers = worker_count.load() - 1;
    for (int slot = 1; slot <= helpers; ++slot) {
        workers[slot].status.store(worker_parked, std::memory_order_release);
        workers[slot].status.notify_one();
    }
    helpers_awake = false;
}

bool try_split(SearchState& state) {
    if (state.stopped.load(std::memory_order_relaxed) || state.ply == state.base_ply ||
        state.ply_rec->gen_stage >= stage_done)
        return false;
    bool split = false;
    acquire_lock(pool_lock);
    // The splitter's own entry is taken first: once a worker is attached the
    // splitter must leave the split point to the copies, so it needs a copy
    // of its own. Without that entry nothing is attached.
    SearchState* own = idle_count.load(std::memory_order_relaxed) > 0 ? take_pool_entry() : nullptr;
    if (own) {
        const int self = state.worker_index;
        const int count = worker_count.load(std::memory_order_relaxed);
        int attached = 0;
        for (int slot = 0; slot < count; ++slot) {
            if (slot == self || workers[slot].status.load(std::memory_order_relaxed) != worker_idle)
                continue;
            SearchState* copy = take_pool_entry();
            if (!copy) break;
            attach(state, *copy, slot);
            ++attached;
        }
        if (attached > 0) {
            ++state.splits;
            attach(state, *own, self);
            for (int slot = 0; slot < count; ++slot)
                if (slot != self && state.copies[slot]) {
                    workers[slot].status.store(worker_working, std::memory_order_release);
                    workers[slot].status.notify_one();
                }
            split = true;
        } else {
            own->in_use = 0;
        }
    }
    release_lock(pool_lock);
    return split;
}

Move pick_split_move(SearchState& copy) {
    SearchState& sp = *copy.split_master;
    acquire_lock(sp.split_lock);
    const Move m = next_move(sp);
    if (m == 0) {
        release_lock(sp.split_lock);
        return 0;
    }
    PlyRecord& from = *sp.ply_rec;
    PlyRecord& node = *copy.ply_rec;
    const int handed = from.move_index - 1;  // next_move has stepped past it
    node.move_count = from.move_count;
    node.move_index = from.move_index;
    node.current_move = from.current_move;
    node.moves[handed] = m;
    node.scores[handed] = from.scores[handed];
    node.gen_stage = from.gen_stage;
    node.legal_moves = ++from.legal_moves;
    if (node.best_score > from.best_score) {
        from.best_score = node.best_score;
        from.best_move = node.best_move;
        from.bound = node.bound;
        from.alpha = node.alpha;
        from.beta = node.beta;
    } else if (node.best_score < from.best_score) {
        node.best_score = from.best_score;
        node.bound = from.bound;
        node.alpha = from.alpha;
        node.beta = from.beta;
        node.best_move = 0;
    }
    release_lock(sp.split_lock);
    return m;
}

void stop_split_point(SearchState& copy) {
    acquire_lock(pool_lock);
    stop_copies(*copy.split_master);
    release_lock(pool_lock);
}

SearchState* merge_copy(SearchState& copy, int slot) {
    acquire_lock(pool_lock);
    SearchState& sp = *copy.split_master;
    acquire_lock(sp.split_lock);
    sp.nodes += copy.nodes;
    sp.qnodes += copy.qnodes;
    if (copy.sel_depth > sp.sel_depth) sp.sel_depth = copy.sel_depth;
    sp.eval_count += copy.eval_count;
    sp.lazy_count += copy.lazy_count;
    sp.splits += copy.splits;
    sp.bad_splits += copy.bad_splits;
    sp.egbb_probes += copy.egbb_probes;
    // next_check is not summed: the split point keeps its own poll schedule.

    const PlyRecord& result = copy.ply_records[sp.ply];
    PlyRecord& node = *sp.ply_rec;
    if (result.best_score > node.best_score) {
        node.best_score = result.best_score;
        node.best_move = result.best_move;
        node.bound = result.bound;
        node.alpha = result.alpha;
        node.beta = result.beta;
    }
    if (result.best_move == node.best_move) {
        if (result.bound == exact) {
            for (int i = sp.ply; i < result.pv_length; ++i) node.pv[i] = result.pv[i];
            node.pv_length = result.pv_length;
        }
        for (int p = 0; p < max_ply; ++p) {
            sp.ply_records[p].killer1 = copy.ply_records[p].killer1;
            sp.ply_records[p].killer2 = copy.ply_records[p].killer2;
        }
    }
    sp.copies[slot] = nullptr;
    const int others = --sp.copy_count;
    release_lock(sp.split_lock);

    // The copy is cut back to the split ply and returned to the pool.
    copy.ply = sp.ply;
    copy.ply_rec = copy.ply_records + sp.ply;
    copy.hply = sp.hply;
    copy.in_use = 0;
    Worker& w = workers[slot];
    SearchState* next = nullptr;
    if (others > 0) {
        w.state.store(nullptr, std::memory_order_relaxed);
        w.status.store(worker_idle, std::memory_order_relaxed);
    } else {
        bind_state(sp, slot);
        next = &sp;
    }
    release_lock(pool_lock);
    return next;
}

void hand_back(SearchState& state, int slot) {
    acquire_lock(pool_lock);
    bind_state(state, 0);
    workers[0].status.store(worker_handed_back, std::memory_order_release);
    workers[slot].state.store(nullptr, std::memory_order_relaxed);
    workers[slot].status.store(worker_idle, std::memory_order_relaxed);
    release_lock(pool_lock);
}

void idle_loop(int slot) {
    Worker& w = workers[slot];
    for (;;) {
        switch (w.status.load(std::memory_order_acquire)) {
            case worker_created:
                w.status.store(worker_parked, std::memory_order_release);
                break;
            case worker_parked:
                std::this_thread::sleep_for(park_poll);
                break;
            case worker_idle:
                acquire_lock(pool_lock);
                ++idle_count;
                release_lock(pool_lock);
                // The count stops where spinning ends: a wait may last minutes.
                for (int looks = 0; w.status.load(std::memory_order_acquire) == worker_idle;
                     looks += looks < idle_spin_looks) {
                    if (slot == 0) watch_hard_limit();
                    if (looks < idle_spin_looks || !oversubscribed.load(std::memory_order_relaxed))
                        cpu_relax();
                    else if (slot == 0)
                        std::this_thread::sleep_for(idle_nap);
                    else
                        w.status.wait(worker_idle, std::memory_order_acquire);
                }
                acquire_lock(pool_lock);
                --idle_count;
                release_lock(pool_lock);
                break;
            case worker_working:
                if (continue_search(slot)) return;
                break;
            case worker_not_running:
                return;
            case worker_handed_back:
                w.status.store(worker_working, std::memory_order_relaxed);
                return;
        }
    }
}

PawnTable* worker_pawn_table(int slot) {
    return slot == 0 || workers[slot].status.load() != worker_not_running ? workers[slot].pawn_table
                                                                         : nullptr;
}

EvalCache* worker_eval_cache(int slot) {
    return slot == 0 || workers[slot].status.load() != worker_not_running ? workers[slot].eval_cache
                                                                         : nullptr;
}

void clear_worker_eval_caches() { for_each_table(worker_eval_cache, clear_eval_table); }

void quiet_helpers() {
    if (!helpers_awake.load()) return;
    abort_flag = 1;
    for (;;) {
        acquire_lock(pool_lock);
        bool busy = false;
        for (int slot = 1; slot < max_workers; ++slot)
            busy = busy || workers[slot].state.load(std::memory_order_relaxed) != nullptr;
        release_lock(pool_lock);
        if (!busy) return;
        std::this_thread::yield();
    }
}
