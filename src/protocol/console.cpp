#include "protocol/console.h"

#include <chrono>
#include <cstdarg>

bool pipe_input = false;
FILE* log_file = nullptr;
bool log_enabled = false;
std::atomic<int> print_lock{0};
int start_time_ms = 0;
std::atomic<int> bitbases_ready{0};

namespace {

// Spin lock taken with an atomic exchange and released with a plain store;
// it is held only while one message is formatted and flushed.
void acquire_print_lock() {
    while (print_lock.exchange(1, std::memory_order_acquire) == 1)
        while (print_lock.load(std::memory_order_relaxed) == 1) {
        }
}

void release_print_lock() { print_lock.store(0, std::memory_order_release); }

}  // namespace

void emit(const char* format, ...) {
    acquire_print_lock();
    va_list args;
    va_start(args, format);
    va_list log_args;
    va_copy(log_args, args);
    std::vfprintf(stdout, format, args);
    std::fflush(stdout);
    if (log_enabled && log_file) {
        std::vfprintf(log_file, format, log_args);
        std::fflush(log_file);
    }
    va_end(log_args);
    va_end(args);
    release_print_lock();
}

void log_only(const char* format, ...) {
    if (!(log_enabled && log_file)) return;
    acquire_print_lock();
    va_list args;
    va_start(args, format);
    std::vfprintf(log_file, format, args);
    std::fflush(log_file);
    va_end(args);
    release_print_lock();
}

int now_ms() {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    return int(uint32_t(uint64_t(ms)));
}
