#include "odbc/ConnectionAttributes.h"

namespace fq::odbc {

std::vector<ConnectionAttribute> connectionAttributes(const QString& s) {
    std::vector<ConnectionAttribute> result;
    qsizetype i = 0;
    while (i < s.size()) {
        const qsizetype eq = s.indexOf(u'=', i);
        const qsizetype semi = s.indexOf(u';', i);
        if (eq < 0 || (semi >= 0 && semi < eq)) {
            if (semi < 0)
                break;
            i = semi + 1;
            continue;
        }
        ConnectionAttribute a{s.mid(i, eq - i).trimmed(), {}};
        qsizetype j = eq + 1;
        if (j < s.size() && s.at(j) == u'{') {
            a.braced = true;
            ++j;
            while (j < s.size()) {
                if (s.at(j) == u'}') {
                    if (j + 1 < s.size() && s.at(j + 1) == u'}') {
                        a.value.append(u'}');
                        j += 2;
                        continue;
                    }
                    ++j;
                    break;
                }
                a.value.append(s.at(j++));
            }
            const qsizetype end = s.indexOf(u';', j);
            i = end < 0 ? s.size() : end + 1;
        } else {
            const qsizetype end = s.indexOf(u';', j);
            a.value = s.mid(j, end < 0 ? -1 : end - j);
            i = end < 0 ? s.size() : end + 1;
        }
        result.push_back(std::move(a));
    }
    return result;
}

std::optional<QString> connectionAttribute(const std::vector<ConnectionAttribute>& all,
                                           QLatin1String key) {
    for (const ConnectionAttribute& a : all) {
        if (a.key.compare(key, Qt::CaseInsensitive) == 0)
            return a.value;
    }
    return std::nullopt;
}

} // namespace fq::odbc
