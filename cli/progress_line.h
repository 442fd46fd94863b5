// Progress of a long conversion on stderr: nothing for one that ends within a second, then
// a line now and then (rewritten in place on a terminal, so a log keeps only a few).
#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace cli {

class ProgressLine {
public:
    explicit ProgressLine(std::string what);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void Show(const char* pass, std::int64_t done, std::int64_t total);
    // The line as a conversion's progress, which it shows and never stops.
    std::function<bool(const char*, std::int64_t, std::int64_t)> AsProgress() {
        return [this](const char* pass, std::int64_t done, std::int64_t total) {
            Show(pass, done, total);
            return true;
        };
    }

private:
    using Clock = std::chrono::steady_clock;
    std::string what_;
    Clock::time_point start_ = Clock::now();
    Clock::time_point shown_{};
    bool terminal_ = false;
    bool any_ = false;
};

}  // namespace cli
