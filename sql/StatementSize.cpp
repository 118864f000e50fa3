#include "sql/StatementSize.h"

namespace fq::sql {

long long utf8Bytes(QStringView text) {
    long long bytes = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < 0x80) {
            bytes += 1;
        } else if (c < 0x800) {
            bytes += 2;
        } else if (QChar::isHighSurrogate(c) && i + 1 < n && text.at(i + 1).isLowSurrogate()) {
            bytes += 4;
            ++i;
        } else {
            bytes += 3;
        }
    }
    return bytes;
}

long long mysqlLargestStatement(long long maxAllowedPacket) {
    return maxAllowedPacket - 2;
}

} // namespace fq::sql
