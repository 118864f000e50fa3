#pragma once

// The watch over every connection of the process: what each is waiting for, and the cut of a
// connection whose server has given no answer for longer than limits().answer, where its driver
// does not end such a call itself. Private to odbc/; the program sees it through Waiting.h.

namespace fq::odbc {
class ConnectionHandle;
}

namespace fq::odbc::detail {

class CallWatch {
public:
    // A connection is watched from its connect until it is freed.
    static void add(ConnectionHandle& connection);
    static void remove(ConnectionHandle& connection);
};

} // namespace fq::odbc::detail
