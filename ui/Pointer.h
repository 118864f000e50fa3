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

} // namespace fq::ui
