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

// What stopped a command, as its failure message tells it. The windows show every kind alike; the
// terminal answers each with its own exit status.
enum class Failure {
    Refused,          // a server refused a statement, or Fernquill would not send a value
    NotConnected,     // a connection could not be opened (the server's refusal of a login too)
    StoppedAnswering, // a server gave no answer within the bound, and its connection was cut
    Cancelled,        // the user stopped the command (Cancel, closing the window, Ctrl+C)
    RowsDiffer,       // a copy's row count check found rows missing, or rows added by another
    Fault             // an error of Fernquill's own, or memory ran out
};

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
    // The message of a command that stopped: a message box (OK) with the text and the details.
    virtual void showFailure(Failure kind, const QString& text, const QString& detail) {
        static_cast<void>(kind);
        MsgBox(text, kOkOnly, {}, detail);
    }
};

} // namespace fq::ui
