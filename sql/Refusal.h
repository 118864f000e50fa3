#pragma once

#include <QString>

#include <stdexcept>

namespace fq::sql {

// The program's own refusal to send something, because the target would not hold it as it is
// (a seventh fractional digit of a second that MySQL would cut), could not be created from it
// (a table with no columns), or a driver could not read it whole (a connection value). Not a
// server's failure: it has no SQLSTATE and no native number.
class Refusal : public std::runtime_error {
public:
    explicit Refusal(const QString& text) : std::runtime_error(text.toStdString()), text_(text) {}
    const QString& text() const noexcept { return text_; }

private:
    QString text_;
};

} // namespace fq::sql
