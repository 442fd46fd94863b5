// What the benchmarks share: their arguments, the best of several timed runs, and `cat`
// of a file as the yardstick, timed in the same run on a warm page cache.
#pragma once
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

namespace bench {

[[noreturn]] inline void Die(const char* program, const std::string& what) {
    std::fprintf(stderr, "%s: %s\n", program, what.c_str());
    std::exit(1);
}

template <typename F>
double Best(int rounds, F&& run) {
    double best = 1e300;
    for (int i = 0; i < rounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

// [--cli PATH-OF-tessaly-cli] [work-folder]: a given folder is kept, else a new one
// under the temp folder is made and removed at the end.
struct Arguments {
    std::string cli;
    std::filesystem::path work;
    bool keep = false;
};

inline Arguments ParseArguments(int argc, char** argv) {
    Arguments a;
    int arg = 1;
    if (arg + 1 < argc && std::string(argv[arg]) == "--cli") {
        a.cli = argv[arg + 1];
        arg += 2;
    }
    a.keep = arg < argc;
    a.work = a.keep ? std::filesystem::path(argv[arg])
                    : std::filesystem::temp_directory_path() / ("tessaly-bench-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(a.work);
    return a;
}

// Seconds of `cat path > /dev/null`, best of three after one run that warms the cache.
inline double CatSeconds(const char* program, const std::string& path) {
    const std::string command = "cat '" + path + "' > /dev/null";
    if (std::system(command.c_str()) != 0) Die(program, "cat failed");
    return Best(3, [&] {
        if (std::system(command.c_str()) != 0) Die(program, "cat failed");
    });
}

}  // namespace bench
