#include "cli/progress_line.h"

#include <unistd.h>

#include <iostream>

namespace cli {

namespace {

constexpr auto kQuiet = std::chrono::seconds(1);
constexpr auto kEvery = std::chrono::milliseconds(500);

}  // namespace

ProgressLine::ProgressLine(std::string what) : what_(std::move(what)), terminal_(::isatty(STDERR_FILENO) == 1) {}

ProgressLine::~ProgressLine() {
    if (any_ && terminal_) std::cerr << "\n";
}

void ProgressLine::Show(const char* pass, std::int64_t done, std::int64_t total) {
    const auto now = Clock::now();
    if (now - start_ < kQuiet || now - shown_ < kEvery) return;
    shown_ = now;
    any_ = true;
    std::cerr << (terminal_ ? "\r" : "") << what_ << ": " << pass << " " << done;
    if (total > 0) std::cerr << " of " << total;
    std::cerr << " tiles" << (terminal_ ? "   " : "\n") << std::flush;
}

}  // namespace cli
