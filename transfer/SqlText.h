#pragma once

#include <QString>

// Identifier quoting and literals for both servers: the only place in the program that writes
// quotes and delimiters into SQL text.
namespace fq::sql {

// Letters, digits and underscore, not starting with a digit (ASCII only).
bool isPlainIdentifier(const QString& name);

// [name] with every ] doubled.
QString bracketed(const QString& name);
// `name` with every backtick doubled.
QString backticked(const QString& name);
// For the positions that write a name bare ("SELECT * FROM " + name, "describe " + name):
// a plain identifier as it stands, any other name delimited.
QString mssqlBareName(const QString& name);
QString mysqlBareName(const QString& name);

// 'text' with every single quote doubled.
QString quoted(const QString& text);
// A SQL Server string literal: quoted(), with the N prefix when the text holds any character
// outside ASCII, so it does not pass through the database's code page.
QString mssqlString(const QString& text);

} // namespace fq::sql
