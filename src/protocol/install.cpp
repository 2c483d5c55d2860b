#include "protocol/install.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// The way from the program's directory to its data directory, set by the
// build from the install layout.
#ifndef VELKAN_DATA_FROM_BIN
#define VELKAN_DATA_FROM_BIN "../share/velkan"
#endif

char data_dir[data_dir_size] = "";

namespace {

bool file_exists(const char* path) {
    struct stat info;
    return stat(path, &info) == 0 && S_ISREG(info.st_mode);
}

// mkdir -p: every missing directory on the path, as the user alone sees fit
// to read (0700 for what the engine makes).
bool make_directories(const char* path) {
    char partial[data_dir_size];
    const size_t length = std::strlen(path);
    if (length == 0 || length >= sizeof partial) return false;
    for (size_t i = 1; i <= length; ++i) {
        if (path[i] != '/' && path[i] != '\0') continue;
        std::memcpy(partial, path, i);
        partial[i] = '\0';
        if (mkdir(partial, 0700) != 0 && errno != EEXIST) return false;
    }
    struct stat info;
    return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

void installed_data_dir(const char* exe_path, const char* relative, char* out, int size) {
    const char* slash = std::strrchr(exe_path, '/');
    const int dir_length = slash ? int(slash - exe_path) : 0;
    std::snprintf(out, size_t(size), "%.*s/%s/", dir_length, exe_path, relative);
}

void find_data_dir() {
    data_dir[0] = '\0';
    if (file_exists("velkan.ini")) return;
    char exe[data_dir_size];
    const ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (length <= 0) return;
    exe[length] = '\0';
    char candidate[data_dir_size];
    installed_data_dir(exe, VELKAN_DATA_FROM_BIN, candidate, sizeof candidate);
    char ini[data_dir_size + 16];
    std::snprintf(ini, sizeof ini, "%svelkan.ini", candidate);
    // Without an installed configuration either, the engine says that
    // velkan.ini is missing, as in a run directory.
    if (file_exists(ini)) std::snprintf(data_dir, sizeof data_dir, "%s", candidate);
}

const char* data_path(const char* name, char* out, int size) {
    std::snprintf(out, size_t(size), "%s%s", data_dir, name);
    return out;
}

void resolve_data_dir_path(char* path, int size) {
    if (data_dir[0] == '\0' || path[0] == '/') return;
    const char* rest = std::strncmp(path, "./", 2) == 0 ? path + 2 : path;
    char resolved[data_dir_size + 256];
    std::snprintf(resolved, sizeof resolved, "%s%s", data_dir, rest);
    std::snprintf(path, size_t(size), "%s", resolved);
}

void user_log_dir(const char* state_home, const char* home, char* out, int size) {
    // Only an absolute XDG_STATE_HOME counts; a relative one is to be ignored.
    if (state_home && state_home[0] == '/')
        std::snprintf(out, size_t(size), "%s/velkan/log", state_home);
    else if (home && home[0] == '/')
        std::snprintf(out, size_t(size), "%s/.local/state/velkan/log", home);
    else
        out[0] = '\0';
}

bool find_log_dir(char* out, int size) {
    if (data_dir[0] == '\0') {
        std::snprintf(out, size_t(size), "./log");
        return true;
    }
    user_log_dir(std::getenv("XDG_STATE_HOME"), std::getenv("HOME"), out, size);
    return out[0] != '\0' && make_directories(out);
}
