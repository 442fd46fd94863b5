// Runs a program with its arguments quoted for the shell, standard input empty and both
// outputs captured; one still running after ten seconds is killed, so that a hang fails a
// test instead of stalling the run.
#pragma once
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/jnx_builder.h"

namespace fixture {

struct ProgramRun {
    int code = -1;  // exit status; 137 when killed at the time limit, 128 + N after signal N
    std::string out, err;
};

// scratch: a folder that holds the captured outputs while the program runs.
inline ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                             const std::string& scratch) {
    const auto quoted = [](const std::string& arg) {
        std::string text = "'";
        for (char c : arg) text += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return text + "'";
    };
    std::string command = "timeout -s KILL 10 " + quoted(program);
    for (const auto& arg : args) command += " " + quoted(arg);
    const int status = std::system((command + " </dev/null >" + quoted(scratch + "/.out") + " 2>" +
                                    quoted(scratch + "/.err")).c_str());
    const auto captured = [](const std::string& path) {
        const Bytes bytes = ReadBytes(path);
        std::remove(path.c_str());
        return std::string(bytes.begin(), bytes.end());
    };
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, captured(scratch + "/.out"), captured(scratch + "/.err")};
}

inline int Occurrences(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

}  // namespace fixture
