#pragma once

// The engine's shared state: accounts and databases.

#include <atomic>
#include <memory>
#include <vector>

#include "Catalog.h"
#include "Engine.h"

namespace tds {

struct Engine::Impl {
    std::vector<Engine::Account> accounts;
    std::vector<std::unique_ptr<Database>> databases;
    std::atomic<int> nextSpid{51};

    Database* findDatabase(std::u16string_view name) const;
};

} // namespace tds
