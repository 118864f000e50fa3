#pragma once

namespace fq::ui {

// Window-wide mouse pointer values.
inline constexpr int kPointerDefault = 0;
inline constexpr int kPointerArrow = 1;
inline constexpr int kPointerHourglass = 11;
inline constexpr int kPointerCustom = 99; // the hand pointer

// A window's mouse pointer setting; while not 0 it applies over the whole window.
class Pointer {
public:
    virtual ~Pointer() = default;
    virtual int MousePointer() const = 0;
    virtual void SetMousePointer(int value) = 0;
};

// The hourglass while a command works: set when the guard is made, and the end value (the arrow
// unless the command says otherwise) set when it goes, however the command ends.
class PointerGuard {
public:
    explicit PointerGuard(Pointer& pointer, int endValue = kPointerArrow)
        : pointer_(pointer), end_(endValue) {
        pointer_.SetMousePointer(kPointerHourglass);
    }
    // A pointer that cannot be set back must not end the program while a failure unwinds.
    ~PointerGuard() {
        try {
            pointer_.SetMousePointer(end_);
        } catch (...) {
        }
    }
    PointerGuard(const PointerGuard&) = delete;
    PointerGuard& operator=(const PointerGuard&) = delete;

    void endWith(int value) noexcept { end_ = value; }

private:
    Pointer& pointer_;
    int end_;
};

} // namespace fq::ui
