// Another writer of a map, in a child process as it would be in real use: it takes the
// writers' lock, reads the map, lets the test go on, and only after a pause writes its own
// edit under that lock. Whatever the test does meanwhile meets a held lock, and an edit
// the test makes without waiting for it makes the other writer's re-check fail.
#pragma once
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "jnx/reader.h"
#include "platform/file_lock.h"

namespace fixture {

class OtherWriter {
public:
    using Write = std::function<bool(jnx::JnxDocument& doc, const platform::FileLock& lock)>;

    // Returns once the child holds the lock and has read the map.
    OtherWriter(const std::string& path, const Write& write, std::chrono::milliseconds pause) {
        int ready[2];
        if (::pipe(ready) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            platform::FileLock lock;
            platform::Error error;
            jnx::JnxDocument doc;
            std::int32_t tiles = 0;
            doc.FileName = path;
            const bool read = lock.Acquire(path, std::chrono::seconds(5), error) &&
                              jnx::ReadJnx(doc, path, tiles, error, jnx::ReadDepth::Full);
            const char signal = read ? 'r' : 'x';
            (void)!::write(ready[1], &signal, 1);
            if (!read) ::_exit(2);
            std::this_thread::sleep_for(pause);
            ::_exit(write(doc, lock) ? 0 : 1);
        }
        ::close(ready[1]);
        char signal = 0;
        if (pid_ > 0 && ::read(ready[0], &signal, 1) == 1 && signal == 'r') started_ = true;
        ::close(ready[0]);
    }
    ~OtherWriter() { Finish(); }
    OtherWriter(const OtherWriter&) = delete;
    OtherWriter& operator=(const OtherWriter&) = delete;

    bool Started() const { return started_; }
    // Waits for the child: whether its edit was written.
    bool Finish() {
        if (pid_ > 0) {
            int status = 0;
            ::waitpid(pid_, &status, 0);
            written_ = WIFEXITED(status) && WEXITSTATUS(status) == 0, pid_ = -1;
        }
        return written_;
    }

private:
    pid_t pid_ = -1;
    bool started_ = false;
    bool written_ = false;
};

}  // namespace fixture
