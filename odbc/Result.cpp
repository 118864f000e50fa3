#include "odbc/Result.h"

#include "odbc/Odbc.h"
#include "odbc/Statement.h"

namespace fq::odbc {

Result::Result() = default;
Result::~Result() = default;
Result::Result(Result&&) noexcept = default;
Result& Result::operator=(Result&&) noexcept = default;

Result::Result(std::unique_ptr<Statement> stmt) : stmt_(std::move(stmt)) {}

bool Result::isOpen() const noexcept {
    return stmt_ != nullptr;
}

bool Result::atEnd() const noexcept {
    return !stmt_ || stmt_->atEnd();
}

void Result::moveNext() {
    if (!stmt_)
        throw detail::noCurrentRow();
    stmt_->moveNext();
}

int Result::columnCount() const noexcept {
    return stmt_ ? stmt_->columnCount() : 0;
}

const Value& Result::value(int index) const {
    if (!stmt_)
        throw detail::noCurrentRow();
    return stmt_->value(index);
}

void Result::takeRow(std::vector<Value>& row) {
    if (!stmt_)
        throw detail::noCurrentRow();
    stmt_->takeRow(row);
}

long long Result::rowCount() const noexcept {
    return stmt_ ? stmt_->rowCount() : -1;
}

void Result::close() noexcept {
    stmt_.reset();
}

} // namespace fq::odbc
