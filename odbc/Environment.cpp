#include "odbc/Environment.h"

#include "odbc/Odbc.h"

#include <mutex>

namespace fq::odbc {

std::shared_ptr<Environment> Environment::shared() {
    // Allocated once, on first use; a failed allocation is tried again by the next caller.
    static std::mutex mutex;
    static std::shared_ptr<Environment> env;
    const std::lock_guard lock(mutex);
    if (!env)
        env.reset(new Environment());
    return env;
}

Environment::Environment() {
    SQLHENV env = nullptr;
    const SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    if (!detail::succeeded(rc)) {
        throw DbError(kGenericFailure, QString(), 0,
                      QStringLiteral("The ODBC driver manager could not allocate an environment."));
    }
    env_ = env;
    const SQLRETURN set =
        SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    if (!detail::succeeded(set)) {
        DbError error = detail::diagnostics(SQL_HANDLE_ENV, env_, "SQLSetEnvAttr", set);
        SQLFreeHandle(SQL_HANDLE_ENV, env_);
        env_ = nullptr;
        throw error;
    }
}

Environment::~Environment() {
    if (env_ != nullptr)
        SQLFreeHandle(SQL_HANDLE_ENV, env_);
}

} // namespace fq::odbc
