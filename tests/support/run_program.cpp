#include "support/run_program.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>

#include "support/jnx_builder.h"

namespace fixture {

namespace {

std::string Quoted(const std::string& arg) {
    std::string quoted = "'";
    for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string Text(const std::string& path) {
    const Bytes bytes = ReadBytes(path);
    std::remove(path.c_str());
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args, const std::string& scratch) {
    std::string command = "timeout -s KILL 10 " + Quoted(program);
    for (const auto& arg : args) command += " " + Quoted(arg);
    command += " </dev/null >" + Quoted(scratch + "/.out") + " 2>" + Quoted(scratch + "/.err");
    const int status = std::system(command.c_str());
    ProgramRun run;
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = Text(scratch + "/.out");
    run.err = Text(scratch + "/.err");
    return run;
}

}  // namespace fixture
