#pragma once

#include <QByteArray>
#include <QString>

// Identifier quoting and literals for both servers: the only place in the program that writes
// quotes and delimiters into SQL text.
namespace fq::sql {

// Letters, digits and underscore, not starting with a digit (ASCII only).
bool isPlainIdentifier(const QString& name);
// A reserved word of MySQL, MariaDB or Transact-SQL (any letter case): such a name cannot stand
// bare in a statement on either server ("SELECT * FROM order" fails).
bool isReservedWord(const QString& name);

// [name] with every ] doubled.
QString bracketed(const QString& name);
// `name` with every backtick doubled.
QString backticked(const QString& name);
// For the positions that write a name bare ("SELECT * FROM " + name, "describe " + name):
// a plain identifier that is not a reserved word as it stands, any other name delimited.
QString mssqlBareName(const QString& name);
QString mysqlBareName(const QString& name);

// 'text' with every single quote doubled.
QString quoted(const QString& text);
void appendQuoted(QString& out, const QString& text);

// The literals below are appended to the end of a statement being built; the ones other
// statements need on their own also come as a text of their own.
// A MySQL string literal for a session with NO_BACKSLASH_ESCAPES: quoted(); a text that holds
// U+0000 is written as _utf8mb4 X'...' instead, since the driver ends a statement at a zero
// character.
QString mysqlString(const QString& text);
void appendMysqlString(QString& out, const QString& text);
// A SQL Server string literal: quoted(), with the N prefix when the text holds any character
// outside ASCII, so it does not pass through the database's code page.
QString mssqlString(const QString& text);
void appendMssqlString(QString& out, const QString& text);
// A SQL Server text value: mssqlString(); a text that holds U+0000 is written as
// CONVERT(nvarchar(max), 0x...) of its UTF-16LE bytes instead, since FreeTDS ends a batch at a
// zero character.
void appendMssqlText(QString& out, const QString& text);
// The text made into `before`, its appendMssqlText literal, then `after`, in its own storage:
// for a text too long to be copied beside its statement. False, and the text as it was, for a
// text with a zero character (whose literal is made of its bytes instead).
bool wrapInMssqlText(QString& text, QStringView before, QStringView after);
// A SQL Server Unicode string literal, N'text', whatever the text holds: for names compared
// with the catalog's nvarchar columns and passed to OBJECT_ID.
QString mssqlUnicodeString(const QString& text);

// Binary literals: 0x0A1B (0x for no bytes) on SQL Server, X'0A1B' (X'' for no bytes) on MySQL.
// MySQL gets hexadecimal, twice the bytes' size, and not _binary'...' with the quotes doubled: a
// statement travels as text (UTF-16 through the wide ODBC calls, UTF-8 to the server), so a byte
// of 0x80 or more would arrive as the two bytes of its character, and a zero byte would end the
// statement.
void appendMssqlBinary(QString& out, const QByteArray& bytes);
QString mysqlBinary(const QByteArray& bytes);
void appendMysqlBinary(QString& out, const QByteArray& bytes);

} // namespace fq::sql
