#pragma once

#include <QString>

namespace fq::ui {

// Message box styles and answers, as the commands use them.
inline constexpr int kOkOnly = 0;
inline constexpr int kYesNo = 4;
inline constexpr int kAnswerOk = 1;
inline constexpr int kAnswerYes = 6;
inline constexpr int kAnswerNo = 7;

inline constexpr const char* kAppTitle = "Fernquill";

// Message boxes and input boxes. Without a title a box shows the application's title.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Returns the number of the button pressed (kAnswerOk, kAnswerYes, kAnswerNo).
    // detail, when given, is shown as the box's details (the server's own words).
    virtual int MsgBox(const QString& prompt, int style = kOkOnly, const QString& title = {},
                       const QString& detail = {}) = 0;
    // Returns the text entered, or the empty text when cancelled.
    virtual QString InputBox(const QString& prompt, const QString& title = {},
                             const QString& defaultText = {}) = 0;
};

} // namespace fq::ui
