#pragma once

#include <QStringView>

// How large a statement is for MySQL, and how large it may be.
namespace fq::sql {

// The statement's size as the server receives it: its bytes in UTF-8, the form the driver sends
// it in (an unpaired surrogate counted as the three bytes of a replacement character).
long long utf8Bytes(QStringView text);

// The longest statement a MySQL server with this max_allowed_packet takes: the statement travels
// in one packet after a command byte, and the packet must stay shorter than max_allowed_packet.
// A longer one is not refused politely: the server closes the connection.
long long mysqlLargestStatement(long long maxAllowedPacket);

} // namespace fq::sql
