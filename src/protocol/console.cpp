#include "protocol/console.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdarg>

bool pipe_input = false;
FILE* log_file = nullptr;
bool log_enabled = false;
std::atomic<int> print_lock{0};
int start_time_ms = 0;
std::atomic<int> bitbases_ready{0};
const char* emit_line_prefix = nullptr;

namespace {

// Spin lock taken with an atomic exchange and released with a plain store;
// it is held only while one message is formatted and flushed.
void acquire_print_lock() {
    while (print_lock.exchange(1, std::memory_order_acquire) == 1)
        while (print_lock.load(std::memory_order_relaxed) == 1) {
        }
}

void release_print_lock() { print_lock.store(0, std::memory_order_release); }

// Prefixed output: whether the last prefixed text ended its line.
bool prefixed_line_ended = true;

// Writes text to standard output and the log, each non-empty line started
// with emit_line_prefix; empty lines are dropped. Called under the lock.
void write_prefixed(const char* text) {
    for (const char* p = text; *p;) {
        const char* end = p;
        while (*end && *end != '\n') ++end;
        const bool ended = *end == '\n';
        const int length = int(end - p);
        if (length > 0 || (ended && !prefixed_line_ended)) {
            const char* prefix = prefixed_line_ended ? emit_line_prefix : "";
            const char* newline = ended ? "\n" : "";
            std::fprintf(stdout, "%s%.*s%s", prefix, length, p, newline);
            if (log_enabled && log_file) std::fprintf(log_file, "%s%.*s%s", prefix, length, p, newline);
            prefixed_line_ended = ended;
        }
        p = ended ? end + 1 : end;
    }
    std::fflush(stdout);
    if (log_enabled && log_file) std::fflush(log_file);
}

// A message longer than this is cut when it is prefixed.
constexpr int prefixed_text_size = 2 * input_line_size + 256;

}  // namespace

void emit(const char* format, ...) {
    if (emit_line_prefix) {
        char text[prefixed_text_size];
        va_list args;
        va_start(args, format);
        std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
        acquire_print_lock();
        write_prefixed(text);
        release_print_lock();
        return;
    }
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

void emit_protocol(const char* format, ...) {
    acquire_print_lock();
    // A prefixed line left open (a progress mark) is closed first.
    if (!prefixed_line_ended) write_prefixed("\n");
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

void print_only(const char* format, ...) {
    acquire_print_lock();
    va_list args;
    va_start(args, format);
    std::vfprintf(stdout, format, args);
    std::fflush(stdout);
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

// poll() with a zero timeout answers at once. A hang-up, an error or an
// invalid descriptor also count as pending, so that the following read sees
// the end of input instead of the poll ignoring it for ever.
bool input_pending() {
    pollfd request{0, POLLIN, 0};
    int ready;
    do {
        ready = poll(&request, 1, 0);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) return true;
    return ready > 0 && request.revents != 0;
}

// Reads byte by byte straight from descriptor 0, so that no input ever waits
// in a stdio buffer where input_pending could not see it. A terminal in
// canonical mode does the echo and line editing itself, so an Enter alone
// arrives as "\n": an empty command line, not the end of input.
bool read_input_line(char* buffer) {
    int length = 0;   // characters of the line seen so far, newline excluded
    bool ended = false;  // the newline was read
    bool read_any = false;
    for (;;) {
        char c;
        const ssize_t got = read(0, &c, 1);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        read_any = true;
        if (c == '\n') {
            ended = true;
            break;
        }
        // Past the limit the rest of the line is only counted.
        if (length < max_line_length) buffer[length] = c;
        ++length;
    }
    if (!read_any) {
        buffer[0] = '\0';
        return false;
    }
    if (length > max_line_length) {
        buffer[0] = '\0';
        log_only("<%012d>(a line of %d bytes, refused)\n", now_ms() - start_time_ms, length);
        report_long_line("input", length);
        return true;
    }
    if (ended) buffer[length++] = '\n';
    buffer[length] = '\0';
    // One call, so that no other thread's output lands between stamp and line.
    log_only("<%012d>%s", now_ms() - start_time_ms, buffer);
    return true;
}

FileLine read_file_line(FILE* file, char* buffer, int* length) {
    int count = 0;  // characters of the line, newline excluded
    bool ended = false;
    bool read_any = false;
    for (int c; (c = std::fgetc(file)) != EOF;) {
        read_any = true;
        if (c == '\n') {
            ended = true;
            break;
        }
        if (count < max_line_length) buffer[count] = char(c);
        ++count;
    }
    if (length) *length = count;
    if (!read_any) {
        buffer[0] = '\0';
        return FileLine::end;
    }
    if (count > max_line_length) {
        buffer[max_line_length] = '\0';
        return FileLine::too_long;
    }
    if (ended) buffer[count++] = '\n';
    buffer[count] = '\0';
    return FileLine::line;
}

void report_long_line(const char* where, int length) {
    emit("Error (line too long): %s, %d bytes; at most %d are read, the line is ignored\n", where,
         length, max_line_length);
}

namespace {

bool is_separator(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }

}  // namespace

int split_tokens(char* text, char** tokens) {
    int count = 0;
    char* p = text;
    while (true) {
        while (*p && is_separator(*p)) *p++ = '\0';
        if (!*p) break;
        if (count < max_tokens - 1) tokens[count] = p;
        ++count;
        while (*p && !is_separator(*p)) ++p;
    }
    if (count > max_tokens - 1) {
        emit("Error (too many words): %d words, at most %d; the line is ignored\n", count,
             max_tokens - 1);
        count = 0;
    }
    tokens[count] = nullptr;
    return count + 1;
}
