#include "Engine.h"

#include "Session.h"
#include "Text.h"

namespace tds {

Message makeMessage(std::int32_t number, std::uint8_t severity, std::uint8_t state,
                    std::u16string textValue) {
    Message m;
    m.number = number;
    m.severity = severity;
    m.state = state;
    m.text = std::move(textValue);
    return m;
}

Message notSupported(const std::u16string& what) {
    return makeMessage(50000, 16, 1, u"The SQL Server test double does not support " + what + u".");
}

Engine::Engine(std::vector<Account> accounts, std::u16string database)
    : impl_(new Impl{std::move(accounts), Database(std::move(database))}) {}

Engine::~Engine() = default;

LoginResult Engine::login(const std::u16string& user, const std::u16string& password,
                          const std::u16string& database) {
    LoginResult result;
    bool known = false;
    for (const auto& a : impl_->accounts) {
        // Login names compare without regard to case; passwords exactly.
        known = known || (text::equalsCi(a.user, user) && a.password == password);
    }
    if (known && (database.empty() || text::equalsCi(database, impl_->database.name()))) {
        result.session = std::make_unique<SessionImpl>(*impl_);
        return result;
    }
    if (known) {
        result.messages.push_back(makeMessage(4060, 11, 1,
                                              u"Cannot open database \"" + database +
                                                  u"\" requested by the login. The login failed."));
    }
    result.messages.push_back(makeMessage(18456, 14, 1, u"Login failed for user '" + user + u"'."));
    return result;
}

std::vector<Message> Engine::runScript(const std::u16string& sql) {
    std::vector<Message> errors;
    if (impl_->accounts.empty()) {
        errors.push_back(makeMessage(18456, 14, 1, u"Login failed for user ''."));
        return errors;
    }
    SessionImpl session(*impl_);
    session.executeBatch(sql, [&](StatementOutcome&& o) {
        for (auto& m : o.messages) {
            if (m.severity >= 11) {
                errors.push_back(std::move(m));
            }
        }
    });
    return errors;
}

} // namespace tds
