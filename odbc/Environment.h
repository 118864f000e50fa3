#pragma once

#include <sql.h>

#include <memory>

namespace fq::odbc {

// The process's one ODBC environment (ODBC 3 behaviour). Every connection handle holds a
// reference, so the environment outlives the last connection even at program exit.
class Environment {
public:
    // The shared environment, allocated on first use. Throws DbError when the driver manager
    // cannot allocate it.
    static std::shared_ptr<Environment> shared();

    ~Environment();
    Environment(const Environment&) = delete;
    Environment& operator=(const Environment&) = delete;

    SQLHENV handle() const noexcept { return env_; }

private:
    Environment();
    SQLHENV env_ = nullptr;
};

} // namespace fq::odbc
