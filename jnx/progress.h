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

// Begin() now, End() on every way out of the scope.
class BusyScope {
public:
    explicit BusyScope(BusyObserver* observer) : observer_(observer) {
        if (observer_) observer_->Begin();
    }
    ~BusyScope() {
        if (observer_) observer_->End();
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    BusyObserver* observer_;
};

}  // namespace jnx
