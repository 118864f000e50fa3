// Throughput of the SQL Server test double over loopback through the FreeTDS ODBC driver:
// single-row INSERTs per second over one connection, against the same number of bare round
// trips (a batch holding only a comment) by the same client as the baseline, and a
// 1,000,000-row SELECT * streamed to
// the client, with the server's resident memory before and after (VmRSS, VmHWM).
//
//   tds_throughput [--inserts N] [--rows N] [--server PATH]
//
// It starts its own server on a free loopback port and stops it at the end.

#include <sql.h>
#include <sqlext.h>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

std::u16string u16(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

SQLWCHAR* wide(std::u16string& s) {
    return reinterpret_cast<SQLWCHAR*>(s.data());
}

[[noreturn]] void fail(const std::string& what, SQLSMALLINT type = 0, SQLHANDLE handle = nullptr) {
    std::fprintf(stderr, "tds_throughput: %s\n", what.c_str());
    if (handle != nullptr) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLWCHAR text[1024] = {};
        SQLSMALLINT length = 0;
        if (SQL_SUCCEEDED(SQLGetDiagRecW(type, handle, 1, state, &native, text, 1024, &length))) {
            std::string message;
            for (SQLSMALLINT i = 0; i < length; ++i)
                message += static_cast<char>(text[i] < 128 ? text[i] : '?');
            std::fprintf(stderr, "  native %d: %s\n", static_cast<int>(native), message.c_str());
        }
    }
    std::exit(1);
}

int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        fail("no free loopback port");
    ::close(fd);
    return ntohs(address.sin_port);
}

// VmRSS / VmHWM of a process, in MiB.
double memoryMiB(pid_t pid, const char* field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) {
            std::istringstream in(line.substr(std::strlen(field) + 1));
            double kib = 0;
            in >> kib;
            return kib / 1024.0;
        }
    }
    return -1;
}

// CPU time (user + system) a process has used, in seconds.
double cpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    std::getline(stat, text);
    // The fields after the command name, which is in parentheses.
    std::istringstream in(text.substr(text.rfind(')') + 2));
    std::string field;
    double utime = 0, stime = 0;
    for (int i = 3; i <= 15 && in >> field; ++i) {
        if (i == 14)
            utime = std::atof(field.c_str());
        if (i == 15)
            stime = std::atof(field.c_str());
    }
    return (utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

class Server {
public:
    Server(const std::string& binary, int port) {
        dir_ = "/tmp/tds_throughput." + std::to_string(::getpid());
        std::string mk = "mkdir -p " + dir_;
        if (std::system(mk.c_str()) != 0)
            fail("cannot create " + dir_);
        const std::string ready = dir_ + "/ready";
        const std::string log = dir_ + "/statements.log";
        const std::string portText = std::to_string(port);
        pid_ = ::fork();
        if (pid_ == 0) {
            // The server ends with the benchmark, however the benchmark ends.
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            ::execl(binary.c_str(), binary.c_str(), "--port", portText.c_str(), "--account",
                    "bench:Bench_pw1", "--database", "benchdb", "--log", log.c_str(),
                    "--ready-file", ready.c_str(), static_cast<char*>(nullptr));
            std::_Exit(127);
        }
        for (int i = 0; i < 200 && ::access(ready.c_str(), F_OK) != 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        if (::access(ready.c_str(), F_OK) != 0)
            fail("the server " + binary + " did not start");
    }
    ~Server() {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        std::string rm = "rm -rf " + dir_;
        if (std::system(rm.c_str()) != 0)
            std::fprintf(stderr, "tds_throughput: could not remove %s\n", dir_.c_str());
    }
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    std::string dir_;
};

class Client {
public:
    explicit Client(int port) {
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
        SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
        std::u16string connection =
            u16("Driver=/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so;Server=127.0.0.1," +
                std::to_string(port) + ";Database=benchdb;Uid=bench;Pwd=Bench_pw1;");
        SQLSMALLINT length = 0;
        if (!SQL_SUCCEEDED(SQLDriverConnectW(dbc_, nullptr, wide(connection), SQL_NTS, nullptr, 0,
                                             &length, SQL_DRIVER_NOPROMPT)))
            fail("cannot connect", SQL_HANDLE_DBC, dbc_);
        SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt_);
    }
    ~Client() {
        SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
        SQLDisconnect(dbc_);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        SQLFreeHandle(SQL_HANDLE_ENV, env_);
    }
    void exec(const std::string& sql) {
        std::u16string text = u16(sql);
        SQLFreeStmt(stmt_, SQL_CLOSE);
        const SQLRETURN rc = SQLExecDirectW(stmt_, wide(text), SQL_NTS);
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA)
            fail("failed: " + sql.substr(0, 120), SQL_HANDLE_STMT, stmt_);
    }
    SQLHSTMT statement() const { return stmt_; }

private:
    SQLHENV env_ = SQL_NULL_HENV;
    SQLHDBC dbc_ = SQL_NULL_HDBC;
    SQLHSTMT stmt_ = SQL_NULL_HSTMT;
};

std::string insertStatement(long i) {
    const std::string n = std::to_string(i);
    std::string sql = "INSERT INTO bench_insert VALUES (";
    sql += n;
    sql += ", N'name ";
    sql += n;
    sql += "', ";
    sql += n;
    sql += ".25)";
    return sql;
}

// Single-row INSERTs, then as many bare round trips by the same client as the baseline.
void insertsAgainstBareRoundTrips(Client& client, const Server& server, long inserts) {
    client.exec("CREATE TABLE bench_insert (id int, name nvarchar(50), amount decimal(12,2))");
    const double serverCpuBefore = cpuSeconds(server.pid());
    const double clientCpuBefore = cpuSeconds(::getpid());
    auto start = Clock::now();
    for (long i = 0; i < inserts; ++i)
        client.exec(insertStatement(i));
    const double insertSeconds = seconds(start);
    const double perInsert = 1e6 / static_cast<double>(inserts);
    std::printf("single-row INSERTs: %ld in %.2f s = %.0f per second (CPU per INSERT: server "
                "%.1f us, client %.1f us)\n",
                inserts, insertSeconds, static_cast<double>(inserts) / insertSeconds,
                (cpuSeconds(server.pid()) - serverCpuBefore) * perInsert,
                (cpuSeconds(::getpid()) - clientCpuBefore) * perInsert);

    // The same client, driver and loopback, with nothing for the server to do.
    start = Clock::now();
    for (long i = 0; i < inserts; ++i)
        client.exec("-- nothing to do");
    const double bareSeconds = seconds(start);
    std::printf("bare round trips: %ld in %.2f s = %.0f per second; an INSERT takes "
                "%.2f times a bare round trip\n",
                inserts, bareSeconds, static_cast<double>(inserts) / bareSeconds,
                insertSeconds / bareSeconds);
}

void fill(Client& client, long rows) {
    client.exec("CREATE TABLE bench_select (id int, name nvarchar(50), amount decimal(12,2), "
                "created datetime2(3))");
    const auto start = Clock::now();
    const long perBatch = 1000;
    for (long first = 0; first < rows; first += perBatch) {
        std::string sql = "INSERT INTO bench_select VALUES ";
        for (long i = first; i < first + perBatch && i < rows; ++i) {
            if (i != first)
                sql += ", ";
            sql += '(';
            sql += std::to_string(i);
            sql += ", N'row number ";
            sql += std::to_string(i);
            sql += "', ";
            sql += std::to_string(i % 100000);
            sql += ".75, '2024-05-06 07:08:09.123')";
        }
        client.exec(sql);
    }
    std::printf("filled %ld rows in %.2f s (multi-row INSERTs)\n", rows, seconds(start));
}

// Streams the filled table; true when every row arrived, in order.
bool streamAll(Client& client, const Server& server, long rows) {
    const double rssBefore = memoryMiB(server.pid(), "VmRSS:");
    const double peakBefore = memoryMiB(server.pid(), "VmHWM:");
    const auto start = Clock::now();
    client.exec("SELECT * FROM bench_select");
    SQLHSTMT stmt = client.statement();
    SQLINTEGER id = 0;
    SQLWCHAR name[64];
    char amount[32];
    char created[40];
    SQLLEN idLength = 0, nameLength = 0, amountLength = 0, createdLength = 0;
    SQLBindCol(stmt, 1, SQL_C_SLONG, &id, 0, &idLength);
    SQLBindCol(stmt, 2, SQL_C_WCHAR, name, sizeof name, &nameLength);
    SQLBindCol(stmt, 3, SQL_C_CHAR, amount, sizeof amount, &amountLength);
    SQLBindCol(stmt, 4, SQL_C_CHAR, created, sizeof created, &createdLength);
    long fetched = 0;
    long wrong = 0;
    double peakDuring = peakBefore;
    for (;;) {
        const SQLRETURN rc = SQLFetch(stmt);
        if (rc == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(rc))
            fail("fetch failed", SQL_HANDLE_STMT, stmt);
        if (id != fetched)
            ++wrong;
        ++fetched;
        if (fetched % 100000 == 0)
            peakDuring = std::max(peakDuring, memoryMiB(server.pid(), "VmRSS:"));
    }
    const double selectSeconds = seconds(start);
    const double peakAfter = memoryMiB(server.pid(), "VmHWM:");
    const bool complete = wrong == 0 && fetched == rows;
    std::printf("SELECT * of %ld rows: %.2f s = %.0f rows per second%s\n", fetched, selectSeconds,
                static_cast<double>(fetched) / selectSeconds,
                complete ? "" : "  ROWS OUT OF ORDER OR MISSING");
    std::printf("server RSS before the SELECT %.1f MiB, largest RSS seen while streaming %.1f MiB; "
                "peak (VmHWM) %.1f MiB before, %.1f MiB after\n",
                rssBefore, peakDuring, peakBefore, peakAfter);
    return complete;
}

} // namespace

int main(int argc, char** argv) {
    long inserts = 50000;
    long rows = 1000000;
    std::string binary = TDS_TEST_SERVER_PATH;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--inserts")
            inserts = std::atol(argv[i + 1]);
        else if (option == "--rows")
            rows = std::atol(argv[i + 1]);
        else if (option == "--server")
            binary = argv[i + 1];
        else
            fail("unknown option " + option);
    }
    const int port = freePort();
    Server server(binary, port);
    Client client(port);
    std::printf("server pid %d on 127.0.0.1:%d, RSS %.1f MiB at start\n",
                static_cast<int>(server.pid()), port, memoryMiB(server.pid(), "VmRSS:"));
    insertsAgainstBareRoundTrips(client, server, inserts);
    fill(client, rows);
    return streamAll(client, server, rows) ? 0 : 1;
}
