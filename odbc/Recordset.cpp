#include "db/Recordset.h"

#include "db/Odbc.h"
#include "db/Statement.h"

namespace fq::db {

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
        throw odbc::noCurrentRow();
    stmt_->moveNext();
}

int Recordset::FieldCount() const noexcept {
    return stmt_ ? static_cast<int>(stmt_->fields().size()) : 0;
}

const FieldInfo& Recordset::Field(int index) const {
    if (!stmt_ || index < 0 || index >= FieldCount())
        throw odbc::noSuchField(index, FieldCount());
    return stmt_->fields()[static_cast<std::size_t>(index)];
}

const Value& Recordset::Item(int index) const {
    if (!stmt_)
        throw odbc::noCurrentRow();
    return stmt_->item(index);
}

long long Recordset::RecordCount() const noexcept {
    return stmt_ ? stmt_->recordCount() : -1;
}

void Recordset::Close() noexcept {
    stmt_.reset();
}

} // namespace fq::db
