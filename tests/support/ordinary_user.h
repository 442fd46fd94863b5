// Permissions bind the superuser only loosely, and tests often run as root. These run a
// check as an ordinary user either way, on files given to that user.
#pragma once
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

namespace fixture {

inline constexpr uid_t kNobody = 65534;

inline bool IsSuperuser() { return ::geteuid() == 0; }

// The user the check runs as owns path (already so without the superuser).
inline void GiveToOrdinaryUser(const std::string& path) {
    if (IsSuperuser() && ::chown(path.c_str(), kNobody, kNobody) != 0) ADD_FAILURE() << "chown " << path;
}

// Whether check holds when run without the superuser's privileges: in a child process
// when the test runs as root, as it is otherwise.
inline bool AsOrdinaryUser(const std::function<bool()>& check) {
    if (!IsSuperuser()) return check();
    const pid_t child = ::fork();
    if (child == 0) {
        const bool ok = ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0 && check();
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace fixture
