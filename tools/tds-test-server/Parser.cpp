#include "Parser.h"

#include "Text.h"

namespace tds {

namespace {

// Words that end an expression or a clause: a bare name equal to one of them is not an alias,
// a column or a procedure.
constexpr std::string_view kReserved[] = {
    "select",  "from",       "where",   "order", "group",    "having",  "insert", "into",
    "values",  "create",     "drop",    "table", "exec",     "execute", "and",    "or",
    "not",     "is",         "null",    "like",  "in",       "between", "as",     "asc",
    "desc",    "by",         "union",   "top",   "distinct", "if",      "begin",  "end",
    "update",  "delete",     "declare", "set",   "use",      "primary", "key",    "constraint",
    "default", "identity",   "collate", "with",  "else",     "exists",  "cast",   "unique",
    "check",   "references", "foreign", "alter", "truncate", "while",   "print",  "return",
    "merge",   "grant",      "revoke",  "go"};

// Statements of T-SQL the double leaves out (README.md).
constexpr std::string_view kOtherStatements[] = {
    "update",   "delete", "if",    "use",    "set",   "declare", "begin", "alter",
    "truncate", "while",  "print", "return", "merge", "with",    "grant", "revoke"};

// Row constructors one INSERT ... VALUES may have; more fail the batch before it runs.
constexpr std::size_t kMaxInsertRows = 1000;

bool reserved(const Token& t) {
    if (t.kind != TokenKind::Word) {
        return false;
    }
    for (auto k : kReserved) {
        if (text::isKeyword(t.text, k)) {
            return true;
        }
    }
    return false;
}

std::u16string upper(std::u16string s) {
    for (auto& c : s) {
        if (c >= u'a' && c <= u'z') {
            c = static_cast<char16_t>(c - 32);
        }
    }
    return s;
}

Expr literalExpr(LiteralKind kind, std::u16string value) {
    Expr e;
    e.kind = Expr::Kind::Literal;
    e.literal = kind;
    e.text = std::move(value);
    return e;
}

Expr binary(Expr::Kind kind, std::u16string op, Expr left, Expr right) {
    Expr e;
    e.kind = kind;
    e.text = std::move(op);
    e.args.push_back(std::move(left));
    e.args.push_back(std::move(right));
    return e;
}

} // namespace

std::u16string ObjectName::written() const {
    std::u16string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i != 0) {
            out.push_back(u'.');
        }
        out += parts[i];
    }
    return out;
}

Parser::Parser(const std::u16string& sql, const std::vector<Token>& tokens)
    : sql_(sql), tokens_(tokens) {}

const Token& Parser::peek(std::size_t ahead) const {
    std::size_t i = at_ + ahead;
    return i < tokens_.size() ? tokens_[i] : tokens_.back();
}

const Token& Parser::take() {
    const Token& t = peek();
    if (at_ + 1 < tokens_.size()) {
        ++at_;
    }
    return t;
}

bool Parser::acceptWord(std::string_view keyword) {
    if (peek().isWord(keyword)) {
        take();
        return true;
    }
    return false;
}

bool Parser::acceptSymbol(std::u16string_view symbol) {
    if (peek().isSymbol(symbol)) {
        take();
        return true;
    }
    return false;
}

void Parser::expectWord(std::string_view keyword) {
    if (!acceptWord(keyword)) {
        fail();
    }
}

void Parser::expectSymbol(std::u16string_view symbol) {
    if (!acceptSymbol(symbol)) {
        fail();
    }
}

void Parser::fail() const {
    throw SyntaxError{at_};
}

void Parser::unsupported(std::u16string what) const {
    throw Unsupported{std::move(what), at_};
}

void Parser::refuse(Message message) const {
    throw Refused{std::move(message), at_};
}

void Parser::refuseWords(std::initializer_list<std::string_view> words) const {
    for (auto w : words) {
        if (peek().isWord(w)) {
            unsupported(u"the keyword " + upper(peek().text) + u" here");
        }
    }
}

Message Parser::syntaxError(std::size_t token) const {
    // SQL Server names the token where parsing stopped; at the end of the batch, the last one.
    std::size_t i = token < tokens_.size() ? token : tokens_.size() - 1;
    if (tokens_[i].kind == TokenKind::End && i > 0) {
        --i;
    }
    const Token& t = tokens_[i];
    const std::u16string near = t.kind == TokenKind::String || t.kind == TokenKind::NString
                                    ? t.text
                                    : sql_.substr(t.begin, t.end - t.begin);
    Message m = makeMessage(102, 15, 1, u"Incorrect syntax near '" + near + u"'.");
    m.line = Lexer::lineOf(sql_, t.begin);
    return m;
}

std::optional<Message> Parser::parseBatch(std::vector<Statement>& out) {
    out.clear();
    try {
        bool first = true;
        while (peek().kind != TokenKind::End) {
            if (acceptSymbol(u";")) {
                continue;
            }
            out.push_back(parseStatement(first));
            first = false;
        }
    } catch (const SyntaxError& e) {
        out.clear();
        return syntaxError(e.token);
    } catch (const Unsupported& e) {
        out.clear();
        Message m = notSupported(e.what);
        m.line = Lexer::lineOf(sql_, tokens_[e.token].begin);
        return m;
    } catch (const Refused& e) {
        out.clear();
        Message m = e.message;
        m.line = Lexer::lineOf(sql_, tokens_[e.token].begin);
        return m;
    }
    return std::nullopt;
}

Statement Parser::parseStatement(bool firstInBatch) {
    Statement s;
    s.line = Lexer::lineOf(sql_, peek().begin);
    const Token& t = peek();
    for (auto other : kOtherStatements) {
        if (t.isWord(other)) {
            unsupported(upper(t.text) + u" statements");
        }
    }
    if (t.isWord("select")) {
        s.body = parseSelect();
    } else if (acceptWord("create")) {
        if (acceptWord("view")) {
            if (!firstInBatch) {
                refuse(makeMessage(111, 15, 1,
                                   u"'CREATE VIEW' must be the first statement in a query batch."));
            }
            s.body = parseCreateView();
        } else {
            expectWord("table");
            s.body = parseCreateTable();
        }
    } else if (acceptWord("drop")) {
        const bool view = acceptWord("view");
        if (!view) {
            expectWord("table");
        }
        s.body = DropStmt{parseObjectName(), view};
    } else if (acceptWord("insert")) {
        s.body = parseInsert();
    } else if (acceptWord("exec") || acceptWord("execute")) {
        s.body = parseExec();
    } else if (firstInBatch && t.isName() && !reserved(t)) {
        // A procedure may be called without EXEC as the first statement of a batch.
        s.body = parseExec();
    } else {
        fail();
    }
    return s;
}

std::u16string Parser::parseName() {
    const Token& t = peek();
    if (!t.isName()) {
        fail();
    }
    take();
    return t.text;
}

ObjectName Parser::parseObjectName() {
    ObjectName name;
    if (!peek().isName() || reserved(peek())) {
        fail();
    }
    name.parts.push_back(parseName());
    while (acceptSymbol(u".")) {
        if (peek().isSymbol(u".")) {
            name.parts.emplace_back(); // db..name
            continue;
        }
        name.parts.push_back(parseName());
    }
    if (name.parts.size() > 3) {
        fail();
    }
    return name;
}

SelectStmt Parser::parseSelect() {
    expectWord("select");
    refuseWords({"top", "distinct"});
    SelectStmt s;
    do {
        s.items.push_back(parseSelectItem());
    } while (acceptSymbol(u","));
    if (acceptWord("from")) {
        s.from = parseObjectName();
    }
    if (acceptWord("where")) {
        s.where = parseCondition();
    }
    refuseWords({"group", "having", "union"});
    if (acceptWord("order")) {
        expectWord("by");
        do {
            s.orderBy.push_back(parseValue());
            acceptWord("asc");
            refuseWords({"desc"});
        } while (acceptSymbol(u","));
    }
    return s;
}

SelectItem Parser::parseSelectItem() {
    SelectItem item;
    if (acceptSymbol(u"*")) {
        item.star = true;
        return item;
    }
    item.expr = parseValue();
    if (acceptWord("as")) {
        if (!peek().isName() && peek().kind != TokenKind::String) {
            fail();
        }
        item.alias = take().text;
    } else if ((peek().isName() && !reserved(peek())) || peek().kind == TokenKind::String) {
        item.alias = take().text;
    }
    return item;
}

DeclaredType Parser::parseType() {
    DeclaredType t;
    t.name = parseName();
    if (acceptSymbol(u"(")) {
        t.hasParens = true;
        do {
            const Token& a = peek();
            if (a.kind != TokenKind::Integer && !a.isWord("max")) {
                fail();
            }
            t.args.push_back(a.kind == TokenKind::Integer ? a.text : u"max");
            take();
        } while (acceptSymbol(u","));
        expectSymbol(u")");
    }
    return t;
}

CreateTableStmt Parser::parseCreateTable() {
    CreateTableStmt c;
    c.table = parseObjectName();
    expectSymbol(u"(");
    do {
        c.columns.push_back(parseColumnDef());
    } while (acceptSymbol(u","));
    expectSymbol(u")");
    return c;
}

CreateViewStmt Parser::parseCreateView() {
    CreateViewStmt v;
    v.view = parseObjectName();
    if (peek().isSymbol(u"(")) {
        unsupported(u"a column list of CREATE VIEW");
    }
    refuseWords({"with"});
    expectWord("as");
    v.select = parseSelect();
    // The view's text runs to the end of the batch.
    acceptSymbol(u";");
    if (peek().kind != TokenKind::End) {
        unsupported(u"statements after CREATE VIEW in its batch");
    }
    return v;
}

ColumnDef Parser::parseColumnDef() {
    // Keys, IDENTITY, DEFAULT and the other column options are left out (README.md).
    const auto refuseOptions = [this] {
        refuseWords({"constraint", "primary", "unique", "identity", "default", "collate", "check",
                     "foreign", "references", "index"});
    };
    refuseOptions();
    ColumnDef col;
    if (reserved(peek())) {
        fail();
    }
    col.name = parseName();
    col.type = parseType();
    if (acceptWord("null")) {
        col.nullable = true;
    } else if (peek().isWord("not") && peek(1).isWord("null")) {
        take();
        take();
        col.nullable = false;
    }
    refuseOptions();
    return col;
}

InsertStmt Parser::parseInsert() {
    InsertStmt s;
    acceptWord("into");
    s.table = parseObjectName();
    if (acceptSymbol(u"(")) {
        do {
            s.columns.push_back(parseName());
        } while (acceptSymbol(u","));
        expectSymbol(u")");
    }
    refuseWords({"select", "default", "output"});
    expectWord("values");
    do {
        if (s.rows.size() == kMaxInsertRows) {
            // The first row constructor too many.
            refuse(makeMessage(10738, 15, 1,
                               u"The number of row value expressions in the INSERT statement "
                               u"exceeds the maximum allowed number of " +
                                   text::number(static_cast<std::int64_t>(kMaxInsertRows)) +
                                   u" row values."));
        }
        expectSymbol(u"(");
        std::vector<Expr> row;
        row.reserve(s.rows.empty() ? 1 : s.rows.front().size());
        do {
            refuseWords({"default"});
            row.push_back(parseValue());
        } while (acceptSymbol(u","));
        expectSymbol(u")");
        s.rows.push_back(std::move(row));
    } while (acceptSymbol(u","));
    return s;
}

ExecStmt Parser::parseExec() {
    ExecStmt e;
    e.procedure = parseObjectName();
    if (peek().kind == TokenKind::End || peek().isSymbol(u";")) {
        return e;
    }
    do {
        ProcArg a;
        if (peek().kind == TokenKind::Variable && peek(1).isSymbol(u"=")) {
            a.name = take().text;
            take();
        }
        const Token& w = peek();
        if ((w.kind == TokenKind::Word && !reserved(w) && !peek(1).isSymbol(u"(")) ||
            w.kind == TokenKind::QuotedName) {
            // A bare or quoted word as a procedure argument is a character string.
            a.value = literalExpr(LiteralKind::NString, take().text);
        } else {
            a.value = parseValue();
        }
        refuseWords({"output", "out"});
        e.args.push_back(std::move(a));
    } while (acceptSymbol(u","));
    return e;
}

Expr Parser::parseCondition() {
    Expr left = parseComparison();
    while (acceptWord("and")) {
        left = binary(Expr::Kind::And, u"and", std::move(left), parseComparison());
    }
    refuseWords({"or"});
    return left;
}

Expr Parser::parseComparison() {
    refuseWords({"not", "exists"});
    Expr left = parseValue();
    refuseWords({"is", "like", "in", "between", "not"});
    static constexpr std::u16string_view kCompare[] = {u"=", u"<>", u"!=", u"<",
                                                       u">", u"<=", u">="};
    for (auto op : kCompare) {
        if (acceptSymbol(op)) {
            return binary(Expr::Kind::Compare, std::u16string(op == u"!=" ? u"<>" : op),
                          std::move(left), parseValue());
        }
    }
    fail();
}

Expr Parser::parseValue() {
    Expr e;
    if (acceptSymbol(u"-")) {
        e.kind = Expr::Kind::Negate;
        e.args.push_back(parsePrimary());
    } else {
        e = parsePrimary();
    }
    for (auto op : {u"+", u"-", u"*", u"/", u"%"}) {
        if (peek().isSymbol(op)) {
            unsupported(u"arithmetic");
        }
    }
    return e;
}

Expr Parser::parsePrimary() {
    const Token& t = peek();
    switch (t.kind) {
    case TokenKind::String:
        return literalExpr(LiteralKind::String, take().text);
    case TokenKind::NString:
        return literalExpr(LiteralKind::NString, take().text);
    case TokenKind::Integer:
        return literalExpr(LiteralKind::Integer, take().text);
    case TokenKind::Number:
        return literalExpr(LiteralKind::Number, take().text);
    case TokenKind::Float:
        return literalExpr(LiteralKind::Float, take().text);
    case TokenKind::Hex:
        return literalExpr(LiteralKind::Hex, take().text);
    case TokenKind::Variable: {
        Expr e;
        e.kind = Expr::Kind::Variable;
        e.text = take().text;
        return e;
    }
    case TokenKind::Symbol:
        if (acceptSymbol(u"(")) {
            Expr e = parseValue();
            expectSymbol(u")");
            return e;
        }
        fail();
    case TokenKind::End:
        fail();
    case TokenKind::Word:
    case TokenKind::QuotedName:
        break;
    }
    return parseWordPrimary();
}

Expr Parser::parseWordPrimary() {
    const Token& t = peek();
    if (acceptWord("null")) {
        return literalExpr(LiteralKind::Null, u"");
    }
    refuseWords({"cast", "case", "exists"});
    if (reserved(t)) {
        fail();
    }
    const std::u16string name = take().text;
    if (!acceptSymbol(u"(")) {
        Expr e;
        e.kind = Expr::Kind::Column;
        e.text = name;
        return e;
    }
    Expr e;
    e.text = name;
    if (text::isKeyword(name, "convert")) {
        e.kind = Expr::Kind::Convert;
        e.type = parseType();
        expectSymbol(u",");
        e.args.push_back(parseValue());
        if (peek().isSymbol(u",")) {
            unsupported(u"a style argument of CONVERT");
        }
    } else if (text::isKeyword(name, "count") && acceptSymbol(u"*")) {
        e.kind = Expr::Kind::CountStar;
    } else if (text::isKeyword(name, "object_id") || text::isKeyword(name, "object_schema_name")) {
        e.kind = Expr::Kind::Function;
        e.args.push_back(parseValue());
    } else {
        unsupported(u"the function " + upper(name));
    }
    expectSymbol(u")");
    return e;
}

std::optional<std::vector<Parser::ParamDecl>>
Parser::parseParamDecls(const std::u16string& declText) {
    std::vector<Token> tokens;
    if (Lexer::tokenize(declText, tokens)) {
        return std::nullopt;
    }
    Parser p(declText, tokens);
    std::vector<ParamDecl> out;
    try {
        while (p.peek().kind == TokenKind::Variable) {
            ParamDecl d;
            d.name = p.take().text;
            d.type = p.parseType();
            if (!p.acceptWord("output")) {
                p.acceptWord("out");
            }
            out.push_back(std::move(d));
            if (!p.acceptSymbol(u",")) {
                break;
            }
        }
        if (p.peek().kind != TokenKind::End) {
            return std::nullopt;
        }
    } catch (const SyntaxError&) {
        return std::nullopt;
    }
    return out;
}

std::optional<ObjectName> Parser::parseNameText(const std::u16string& nameText) {
    std::vector<Token> tokens;
    if (Lexer::tokenize(nameText, tokens)) {
        return std::nullopt;
    }
    Parser p(nameText, tokens);
    ObjectName name;
    try {
        bool expectName = true;
        while (p.peek().kind != TokenKind::End) {
            if (p.acceptSymbol(u".")) {
                if (expectName) {
                    name.parts.emplace_back(); // db..name
                }
                expectName = true;
            } else if (expectName && p.peek().isName()) {
                name.parts.push_back(p.take().text);
                expectName = false;
            } else {
                return std::nullopt;
            }
        }
        if (expectName || name.parts.size() > 3) {
            return std::nullopt;
        }
    } catch (const SyntaxError&) {
        return std::nullopt;
    }
    return name;
}

} // namespace tds
