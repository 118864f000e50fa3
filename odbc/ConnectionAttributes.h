#pragma once

#include <QLatin1String>
#include <QString>

#include <optional>
#include <vector>

namespace fq::odbc {

// One key=value pair of a connection string; `value` without its braces, "}}" read as "}".
struct ConnectionAttribute {
    QString key;
    QString value;
    bool braced = false;
};

// The key=value pairs of a connection string, as a driver manager splits them: pairs end at
// ';', a value in braces may hold ';' ("}}" stands for "}"), a piece without '=' is skipped.
std::vector<ConnectionAttribute> connectionAttributes(const QString& connectionString);

// The value of the first pair whose key is `key`, in any letter case.
std::optional<QString> connectionAttribute(const std::vector<ConnectionAttribute>& all,
                                           QLatin1String key);

} // namespace fq::odbc
