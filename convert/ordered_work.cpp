#include "convert/ordered_work.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace convert {

namespace {

using platform::Error;
using platform::ErrorCode;

constexpr std::int64_t kNotReady = -1;

// Each side is woken only when the other has what it waits for: with an item every few
// tens of microseconds, waking every thread at every change cost more in the kernel than
// handing the items over.
struct Shared {
    std::mutex mutex;
    std::condition_variable made;     // the taker waits here for the item it wants
    std::condition_variable took;     // workers wait here for a free slot
    std::int64_t wanted = kNotReady;  // the item the taker waits for
    int waitingWorkers = 0;
    std::int64_t next = 0;   // the next item to make
    std::int64_t taken = 0;  // items taken so far
    bool stop = false;
    std::vector<std::int64_t> readyItem;  // per slot: the item made into it
    std::vector<char> failed;             // per slot: whether that item failed
    std::vector<Error> errors;            // per slot
};

void Work(const OrderedTasks& tasks, Shared& shared) {
    std::unique_lock lock(shared.mutex);
    for (;;) {
        while (!shared.stop && shared.next < tasks.count && shared.next >= shared.taken + std::int64_t(tasks.slots)) {
            ++shared.waitingWorkers;
            shared.took.wait(lock);
            --shared.waitingWorkers;
        }
        if (shared.stop || shared.next >= tasks.count) return;
        const std::int64_t item = shared.next++;
        const auto slot = std::size_t(item % std::int64_t(tasks.slots));
        lock.unlock();
        Error error;
        bool ok = false;
        try {
            ok = tasks.make(item, slot, error);
        } catch (const std::exception& e) {
            error = Error(ErrorCode::CannotCopyData).Detail(e.what());
        }
        lock.lock();
        shared.readyItem[slot] = item;
        shared.failed[slot] = ok ? 0 : 1;
        if (!ok) shared.errors[slot] = std::move(error);
        if (shared.wanted == item) shared.made.notify_one();
    }
}

}  // namespace

std::size_t WorkerCount() { return std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 16); }

bool RunInOrder(const OrderedTasks& tasks, Error& error) {
    if (tasks.count <= 0) return true;
    Shared shared;
    const std::size_t slots = std::max<std::size_t>(1, tasks.slots);
    OrderedTasks run = tasks;
    run.slots = slots;
    shared.readyItem.assign(slots, kNotReady);
    shared.failed.assign(slots, 0);
    shared.errors.resize(slots);
    const std::size_t threads = std::min<std::size_t>({WorkerCount(), slots, std::size_t(tasks.count)});
    std::vector<std::thread> workers;
    for (std::size_t t = 0; t < threads; ++t) workers.emplace_back(Work, std::cref(run), std::ref(shared));
    const auto stopAll = [&] {
        {
            const std::lock_guard lock(shared.mutex);
            shared.stop = true;
        }
        shared.took.notify_all();
        for (std::thread& worker : workers) worker.join();
    };
    for (std::int64_t item = 0; item < tasks.count; ++item) {
        const auto slot = std::size_t(item % std::int64_t(slots));
        {
            std::unique_lock lock(shared.mutex);
            shared.wanted = item;
            shared.made.wait(lock, [&] { return shared.readyItem[slot] == item; });
            shared.wanted = kNotReady;
            if (shared.failed[slot]) {
                error = shared.errors[slot];
                lock.unlock();
                stopAll();
                return false;
            }
        }
        bool taken = false;
        try {
            taken = tasks.take(item, slot, error);
        } catch (...) {
            stopAll();  // no thread may outlive the run, however it ends
            throw;
        }
        if (!taken) {
            stopAll();
            return false;
        }
        bool waiting = false;
        {
            const std::lock_guard lock(shared.mutex);
            shared.taken = item + 1;
            waiting = shared.waitingWorkers > 0;
        }
        if (waiting) shared.took.notify_one();
    }
    stopAll();
    return true;
}

}  // namespace convert
