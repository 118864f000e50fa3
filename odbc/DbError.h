#pragma once

#include <QString>

#include <stdexcept>

namespace fq::odbc {

// The two numbers the program compares. A refused login reports kLoginRefused; every other
// database failure reports kGenericFailure.
inline constexpr long kLoginRefused = -2147217843;   // 0x80040E4D
inline constexpr long kGenericFailure = -2147467259; // 0x80004005

// Why a call ended early without the server refusing anything: the connection was cut because
// nothing came back from the server for too long, or because the user cancelled the waiting
// call.
enum class Interruption { None, StoppedAnswering, Cancelled };

// A failure a server or a driver reported, with everything the driver said about it.
class DbError : public std::runtime_error {
public:
    DbError(long number, QString sqlState, long nativeError, QString driverText);

    // kLoginRefused or kGenericFailure.
    long number() const noexcept { return number_; }
    const QString& sqlState() const noexcept { return sqlState_; }
    long nativeError() const noexcept { return nativeError_; }
    // The driver's and server's own words (all diagnostic records, one per line).
    const QString& driverText() const noexcept { return driverText_; }
    // The codes, as every message's details show them: "SQLSTATE 42S02, native error 208, error
    // number -2147467259".
    QString codes() const;

    // None unless the call was cut off (the driver's words then tell only of a lost connection).
    Interruption interruption() const noexcept { return interruption_; }
    void setInterruption(Interruption interruption) noexcept { interruption_ = interruption; }

private:
    long number_;
    QString sqlState_;
    long nativeError_;
    QString driverText_;
    Interruption interruption_ = Interruption::None;
};

} // namespace fq::odbc
