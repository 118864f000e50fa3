#pragma once

#include <QString>

#include <stdexcept>

namespace fq::odbc {

// A call the component cannot carry out because of how it was made: a closed connection or
// result used, a row read where there is none, a column that is not there, a statement longer
// than ODBC can pass. A fault of the calling code, never a server's or a driver's: it has no
// SQLSTATE and no native number.
class Misuse : public std::logic_error {
public:
    explicit Misuse(const QString& text) : std::logic_error(text.toStdString()) {}
};

} // namespace fq::odbc
