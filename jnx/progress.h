// What a long operation of the core tells the window that runs it.
#pragma once

namespace jnx {

class BusyObserver {
public:
    virtual ~BusyObserver() = default;
    // An operation starts: show the wait pointer and let pending window events run once.
    virtual void Begin() {}
    // The operation has ended (successfully or not): restore the pointer.
    virtual void End() {}
};

}  // namespace jnx
