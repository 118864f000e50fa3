#include "odbc/Recordset.h"

#include "odbc/Odbc.h"
#include "odbc/Statement.h"

namespace fq::odbc {

Recordset::Recordset() = default;
Recordset::~Recordset() = default;
Recordset::Recordset(Recordset&&) noexcept = default;
Recordset& Recordset::operator=(Recordset&&) noexcept = default;

Recordset::Recordset(std::unique_ptr<Statement> stmt) : stmt_(std::move(stmt)) {}

bool Recordset::Eof() const noexcept {
    return !stmt_ || stmt_->eof();
}

void Recordset::MoveNext() {
    if (!stmt_)
        throw detail::noCurrentRow();
    stmt_->moveNext();
}

int Recordset::FieldCount() const noexcept {
    return stmt_ ? static_cast<int>(stmt_->fieldCount()) : 0;
}

const Value& Recordset::Item(int index) const {
    if (!stmt_)
        throw detail::noCurrentRow();
    return stmt_->item(index);
}

void Recordset::TakeRow(std::vector<Value>& row) {
    if (!stmt_)
        throw detail::noCurrentRow();
    stmt_->takeRow(row);
}

long long Recordset::RecordCount() const noexcept {
    return stmt_ ? stmt_->recordCount() : -1;
}

void Recordset::Close() noexcept {
    stmt_.reset();
}

} // namespace fq::odbc
