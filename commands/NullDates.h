#pragma once

#include <QList>
#include <QString>

namespace fq::commands {

// The values a copy sent as NULL because they were not calendar dates: counted per table and
// column, with the first one of each table as an example, for the user to read when the command
// ends. Data is never changed without a word.
class NullDates {
public:
    // One value of the table's column at `position` that arrived as NULL.
    void add(const QString& table, int position, const QString& column, const QString& value);
    bool isEmpty() const noexcept { return tables_.isEmpty(); }
    // One line a table, in the order the tables were copied, its columns in the table's order:
    // "orders: 3 values in placed and 1 in shipped were not calendar dates (first: 2009-01-00)
    // and arrived as NULL".
    QString text() const;

private:
    struct Column {
        int position = 0;
        QString name;
        long long count = 0;
    };
    struct Table {
        QString name;
        QString first;
        QList<Column> columns;
    };
    QList<Table> tables_;
};

} // namespace fq::commands
