// Runs a program with its arguments quoted for the shell, standard input empty and both
// outputs captured; one still running after ten seconds is killed, so that a hang fails a
// test instead of stalling the run.
#pragma once
#include <string>
#include <vector>

namespace fixture {

struct ProgramRun {
    int code = -1;  // exit status; 137 when killed at the time limit, 128 + N after signal N
    std::string out;
    std::string err;
};

// scratch: a folder that holds the captured outputs while the program runs.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args, const std::string& scratch);

inline int Occurrences(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

}  // namespace fixture
