// Work that each item of a long run can do alone (joining a tile group, rewriting a
// tile) done on every core, while what comes of it is taken on the calling thread in
// the items' order, so that a file is still written front to back. Only a window of
// items is ever in flight: memory follows the window, not the run.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>

#include "platform/error.h"

namespace convert {

struct OrderedTasks {
    std::int64_t count = 0;
    // Results the caller keeps, item i's in slot i % slots; at most this many items are
    // made and not yet taken.
    std::size_t slots = 1;
    // On any thread, for each item, into its slot; false with an error stops the run
    // when the taking reaches that item.
    std::function<bool(std::int64_t item, std::size_t slot, platform::Error& error)> make;
    // On the calling thread, item after item; false with an error stops the run.
    std::function<bool(std::int64_t item, std::size_t slot, platform::Error& error)> take;
};

// How many threads make items: one per core, a few at most.
std::size_t WorkerCount();

// The slots a run needs to keep every worker busy.
inline std::size_t SlotsFor(std::size_t workers) { return 4 * workers; }

// The first failure in item order is the one returned; the workers have stopped by
// then.
bool RunInOrder(const OrderedTasks& tasks, platform::Error& error);

}  // namespace convert
