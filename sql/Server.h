#pragma once

namespace fq {

// Which of the two servers: the MySQL (MariaDB) one or the Microsoft SQL Server one.
enum class Server { MySQL, MSSQL };

} // namespace fq
