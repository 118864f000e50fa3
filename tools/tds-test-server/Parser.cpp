#include "Parser.h"

#include "Text.h"

namespace tds {

namespace {

// Words that end an expression or a clause: a bare name equal to one of them is not an alias.
constexpr std::string_view kReserved[] = {
    "select",  "from",   "where",      "order",   "group",    "having",  "insert", "into",
    "values",  "create", "drop",       "table",   "exec",     "execute", "use",    "set",
    "and",     "or",     "not",        "is",      "null",     "like",    "in",     "between",
    "as",      "asc",    "desc",       "by",      "union",    "top",     "if",     "begin",
    "end",     "go",     "update",     "delete",  "declare",  "print",   "return", "distinct",
    "primary", "key",    "constraint", "default", "identity", "collate", "with",   "on",
    "else",    "exists"};

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

Expr literalExpr(LiteralKind kind, std::u16string value, std::size_t pos, std::size_t end) {
    Expr e;
    e.kind = Expr::Kind::Literal;
    e.literal = kind;
    e.text = std::move(value);
    e.pos = pos;
    e.end = end;
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
    failAt(at_);
}

void Parser::failAt(std::size_t token) const {
    throw SyntaxError{token};
}

bool Parser::atStatementEnd() const {
    const Token& t = peek();
    return t.kind == TokenKind::End || t.isSymbol(u";");
}

bool Parser::isReservedStart(const Token& t) const {
    return reserved(t);
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
        // SQL Server names the token where parsing stopped; at the end of the batch, the last one.
        std::size_t i = e.token < tokens_.size() ? e.token : tokens_.size() - 1;
        if (tokens_[i].kind == TokenKind::End && i > 0) {
            --i;
        }
        const Token& t = tokens_[i];
        Message m;
        m.number = 102;
        m.severity = 15;
        m.state = 1;
        m.line = Lexer::lineOf(sql_, t.begin);
        std::u16string near = t.kind == TokenKind::String || t.kind == TokenKind::NString
                                  ? t.text
                                  : sql_.substr(t.begin, t.end - t.begin);
        m.text = u"Incorrect syntax near '" + near + u"'.";
        out.clear();
        return m;
    }
    return std::nullopt;
}

Statement Parser::parseStatement(bool firstInBatch) {
    Statement s;
    s.pos = peek().begin;
    s.line = Lexer::lineOf(sql_, s.pos);
    const Token& t = peek();
    if (t.isWord("select")) {
        s.body = parseSelect();
    } else if (t.isWord("create")) {
        take();
        expectWord("table");
        s.body = parseCreateTable();
    } else if (t.isWord("drop")) {
        take();
        expectWord("table");
        s.body = parseDropTable();
    } else if (t.isWord("insert")) {
        take();
        s.body = parseInsert();
    } else if (t.isWord("exec") || t.isWord("execute")) {
        take();
        s.body = parseExec(true);
    } else if (t.isWord("use")) {
        take();
        s.body = parseUse();
    } else if (t.isWord("set")) {
        take();
        s.body = parseSet();
    } else if (t.isWord("if")) {
        take();
        IfStmt i;
        i.condition = parseExpr();
        i.then = parseBlock();
        acceptSymbol(u";");
        if (acceptWord("else")) {
            i.otherwise = parseBlock();
        }
        s.body = std::move(i);
    } else if (firstInBatch && t.isName() && !reserved(t)) {
        // A procedure may be called without EXEC as the first statement of a batch.
        s.body = parseExec(false);
    } else {
        fail();
    }
    return s;
}

std::vector<Statement> Parser::parseBlock() {
    std::vector<Statement> out;
    if (acceptWord("begin")) {
        while (!peek().isWord("end")) {
            if (peek().kind == TokenKind::End) {
                fail();
            }
            if (acceptSymbol(u";")) {
                continue;
            }
            out.push_back(parseStatement(false));
        }
        take();
        return out;
    }
    out.push_back(parseStatement(false));
    return out;
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
    name.pos = peek().begin;
    if (!peek().isName() || reserved(peek())) {
        fail();
    }
    name.parts.push_back(parseName());
    while (peek().isSymbol(u".")) {
        take();
        if (peek().isSymbol(u".")) {
            name.parts.emplace_back(); // db..name
            continue;
        }
        name.parts.push_back(parseName());
        if (name.parts.size() > 4) {
            fail();
        }
    }
    return name;
}

SelectStmt Parser::parseSelect() {
    expectWord("select");
    SelectStmt s;
    if (acceptWord("top")) {
        bool paren = acceptSymbol(u"(");
        if (peek().kind != TokenKind::Integer) {
            fail();
        }
        auto top = text::toInteger(take().text);
        if (!top) {
            fail();
        }
        s.top = *top;
        if (paren) {
            expectSymbol(u")");
        }
    }
    do {
        SelectItem item;
        if (peek().isSymbol(u"*")) {
            take();
            item.star = true;
        } else {
            item.expr = parseExpr();
            if (acceptWord("as")) {
                const Token& a = peek();
                if (a.isName() || a.kind == TokenKind::String) {
                    take();
                    item.alias = a.text;
                } else {
                    fail();
                }
            } else if ((peek().isName() && !reserved(peek())) || peek().kind == TokenKind::String) {
                item.alias = take().text;
            } else if (peek().isSymbol(u"=") && item.expr.kind == Expr::Kind::Column &&
                       item.expr.qualifier.empty()) {
                take(); // alias = expr
                item.alias = item.expr.text;
                item.expr = parseExpr();
            }
        }
        s.items.push_back(std::move(item));
    } while (acceptSymbol(u","));
    if (acceptWord("from")) {
        s.from = parseObjectName();
        // An alias for the table is allowed and ignored: columns are found by name.
        if (acceptWord("as")) {
            parseName();
        } else if (peek().isName() && !reserved(peek())) {
            take();
        }
    }
    if (acceptWord("where")) {
        s.where = parseExpr();
    }
    if (acceptWord("order")) {
        expectWord("by");
        do {
            OrderItem o;
            o.expr = parseExpr();
            if (acceptWord("desc")) {
                o.descending = true;
            } else {
                acceptWord("asc");
            }
            s.orderBy.push_back(std::move(o));
        } while (acceptSymbol(u","));
    }
    return s;
}

TypeSpec Parser::parseType() {
    TypeSpec t;
    t.pos = peek().begin;
    std::u16string first = parseName();
    t.name = first;
    // Multi-word type names.
    if (text::isKeyword(first, "double") && peek().isWord("precision")) {
        take();
        t.name = u"float";
    } else if ((text::isKeyword(first, "char") || text::isKeyword(first, "character")) &&
               peek().isWord("varying")) {
        take();
        t.name = u"varchar";
    } else if (text::isKeyword(first, "national")) {
        std::u16string second = parseName();
        bool varying = acceptWord("varying");
        if (text::isKeyword(second, "text")) {
            t.name = u"ntext";
        } else if (text::isKeyword(second, "char") || text::isKeyword(second, "character")) {
            t.name = varying ? u"nvarchar" : u"nchar";
        } else {
            fail();
        }
    }
    // schema-qualified type names (sys.int) are not used by the clients.
    if (acceptSymbol(u"(")) {
        t.hasParens = true;
        do {
            const Token& a = peek();
            if (a.kind == TokenKind::Integer || a.isWord("max")) {
                take();
                t.args.push_back(a.kind == TokenKind::Integer ? a.text : u"max");
            } else if (a.isSymbol(u"-") && peek(1).kind == TokenKind::Integer) {
                take();
                t.args.push_back(u"-" + take().text);
            } else {
                fail();
            }
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
        ColumnDef col;
        col.pos = peek().begin;
        std::u16string constraintName;
        if (acceptWord("constraint")) {
            constraintName = parseName();
        }
        if (peek().isWord("primary") || peek().isWord("unique")) {
            // A table constraint: PRIMARY KEY (a, b) / UNIQUE (a)
            KeySpec key;
            key.name = constraintName;
            key.primary = parseKeyKind();
            expectSymbol(u"(");
            do {
                key.columns.push_back(parseName());
                if (!acceptWord("asc")) {
                    acceptWord("desc");
                }
            } while (acceptSymbol(u","));
            expectSymbol(u")");
            c.keys.push_back(std::move(key));
            continue;
        }
        if (!constraintName.empty() || reserved(peek())) {
            fail();
        }
        col.name = parseName();
        col.type = parseType();
        for (;;) {
            std::u16string name;
            if (acceptWord("constraint")) {
                name = parseName();
            }
            if (acceptWord("null")) {
                col.nullable = true;
                col.explicitNull = true;
            } else if (peek().isWord("not") && peek(1).isWord("null")) {
                take();
                take();
                col.nullable = false;
            } else if (peek().isWord("primary") || peek().isWord("unique")) {
                KeySpec key;
                key.name = name;
                key.primary = parseKeyKind();
                key.columns.push_back(col.name);
                c.keys.push_back(std::move(key));
            } else if (acceptWord("identity")) {
                col.identity = true;
                if (acceptSymbol(u"(")) {
                    Expr seed = parseUnary();
                    expectSymbol(u",");
                    Expr increment = parseUnary();
                    expectSymbol(u")");
                    auto number = [&](const Expr& e, std::int64_t& out) {
                        bool negative = e.kind == Expr::Kind::Unary && e.text == u"-";
                        const Expr& lit = negative ? e.args[0] : e;
                        if (lit.kind != Expr::Kind::Literal ||
                            lit.literal != LiteralKind::Integer) {
                            fail();
                        }
                        auto v = text::toInteger(lit.text);
                        if (!v) {
                            fail();
                        }
                        out = *v;
                        if (negative) {
                            out = -out;
                        }
                    };
                    number(seed, col.seed);
                    number(increment, col.increment);
                }
            } else if (acceptWord("default")) {
                col.defaultValue = parseUnary();
            } else if (acceptWord("collate")) {
                parseName(); // one collation here: names compare as the server's default
            } else if (!name.empty()) {
                fail();
            } else {
                break;
            }
        }
        c.columns.push_back(std::move(col));
    } while (acceptSymbol(u","));
    expectSymbol(u")");
    return c;
}

bool Parser::parseKeyKind() {
    bool primary = false;
    if (acceptWord("primary")) {
        expectWord("key");
        primary = true;
    } else {
        expectWord("unique");
    }
    if (!acceptWord("clustered")) {
        acceptWord("nonclustered");
    }
    return primary;
}

DropTableStmt Parser::parseDropTable() {
    DropTableStmt d;
    if (peek().isWord("if") && peek(1).isWord("exists")) {
        take();
        take();
        d.ifExists = true;
    }
    do {
        d.tables.push_back(parseObjectName());
    } while (acceptSymbol(u","));
    return d;
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
    expectWord("values");
    do {
        expectSymbol(u"(");
        std::vector<Expr> row;
        do {
            if (peek().isWord("default")) {
                Expr d;
                d.kind = Expr::Kind::Default;
                d.pos = take().begin;
                row.push_back(std::move(d));
                continue;
            }
            row.push_back(parseExpr());
        } while (acceptSymbol(u","));
        expectSymbol(u")");
        s.rows.push_back(std::move(row));
    } while (acceptSymbol(u","));
    return s;
}

ExecStmt Parser::parseExec(bool hadKeyword) {
    (void)hadKeyword;
    ExecStmt e;
    // EXEC @rc = proc ...: the return status variable is accepted and ignored.
    if (peek().kind == TokenKind::Variable && peek(1).isSymbol(u"=")) {
        take();
        take();
    }
    e.procedure = parseObjectName();
    if (atStatementEnd()) {
        return e;
    }
    do {
        ProcArg a;
        if (peek().kind == TokenKind::Variable && peek(1).isSymbol(u"=")) {
            a.name = take().text;
            take();
        }
        if (peek().isWord("default")) {
            take();
            a.value = literalExpr(LiteralKind::Null, u"", peek().begin, peek().end);
        } else if ((peek().kind == TokenKind::Word && !reserved(peek()) &&
                    !peek(1).isSymbol(u"(") && !peek(1).isSymbol(u".")) ||
                   peek().kind == TokenKind::QuotedName) {
            // A bare or quoted word as a procedure argument is a character string.
            const Token& w = take();
            a.value = literalExpr(LiteralKind::NString, w.text, w.begin, w.end);
        } else {
            a.value = parseExpr();
        }
        if (acceptWord("output") || acceptWord("out")) {
            a.output = true;
        }
        e.args.push_back(std::move(a));
    } while (acceptSymbol(u","));
    return e;
}

UseStmt Parser::parseUse() {
    UseStmt u;
    u.database = parseName();
    return u;
}

SetStmt Parser::parseSet() {
    // SET <option>[, <option>...] ON|OFF|value, or SET TRANSACTION ISOLATION LEVEL ..., as
    // drivers send them; only NOCOUNT changes anything here.
    SetStmt s;
    if (!peek().isName() || peek().kind == TokenKind::QuotedName) {
        fail();
    }
    s.option = take().text;
    if (text::isKeyword(s.option, "transaction")) {
        expectWord("isolation");
        expectWord("level");
        while (peek().kind == TokenKind::Word &&
               (peek().isWord("read") || peek().isWord("committed") ||
                peek().isWord("uncommitted") || peek().isWord("repeatable") ||
                peek().isWord("serializable") || peek().isWord("snapshot"))) {
            take();
        }
        return s;
    }
    while (acceptSymbol(u",")) {
        parseName();
    }
    const Token& v = peek();
    if (v.isWord("on") || v.isWord("off") || v.kind == TokenKind::Integer ||
        v.kind == TokenKind::String || v.kind == TokenKind::NString ||
        (v.kind == TokenKind::Word && !reserved(v))) {
        s.value = text::folded(take().text);
    } else if (v.isSymbol(u"-") && peek(1).kind == TokenKind::Integer) {
        take();
        take();
    } else {
        fail();
    }
    return s;
}

Expr Parser::parseExpr() {
    return parseOr();
}

Expr Parser::parseOr() {
    Expr left = parseAnd();
    while (peek().isWord("or")) {
        take();
        Expr e;
        e.kind = Expr::Kind::Binary;
        e.text = u"or";
        e.pos = left.pos;
        e.args.push_back(std::move(left));
        e.args.push_back(parseAnd());
        e.end = e.args.back().end;
        left = std::move(e);
    }
    return left;
}

Expr Parser::parseAnd() {
    Expr left = parseNot();
    while (peek().isWord("and")) {
        take();
        Expr e;
        e.kind = Expr::Kind::Binary;
        e.text = u"and";
        e.pos = left.pos;
        e.args.push_back(std::move(left));
        e.args.push_back(parseNot());
        e.end = e.args.back().end;
        left = std::move(e);
    }
    return left;
}

Expr Parser::parseNot() {
    if (peek().isWord("exists") && peek(1).isSymbol(u"(")) {
        Expr e;
        e.kind = Expr::Kind::Exists;
        e.pos = take().begin;
        take();
        e.subquery = std::make_shared<SelectStmt>(parseSelect());
        expectSymbol(u")");
        return e;
    }
    if (peek().isWord("not")) {
        std::size_t pos = take().begin;
        Expr e;
        e.kind = Expr::Kind::Unary;
        e.text = u"not";
        e.pos = pos;
        e.args.push_back(parseNot());
        e.end = e.args.back().end;
        return e;
    }
    return parsePredicate();
}

Expr Parser::parsePredicate() {
    Expr left = parseAdditive();
    const Token& t = peek();
    static constexpr std::u16string_view kCompare[] = {u"=", u"<>", u"!=", u"<",
                                                       u">", u"<=", u">="};
    for (auto op : kCompare) {
        if (t.isSymbol(op)) {
            take();
            Expr e;
            e.kind = Expr::Kind::Binary;
            e.text = std::u16string(op == u"!=" ? u"<>" : op);
            e.pos = left.pos;
            e.args.push_back(std::move(left));
            e.args.push_back(parseAdditive());
            e.end = e.args.back().end;
            return e;
        }
    }
    if (t.isWord("is")) {
        take();
        Expr e;
        e.kind = Expr::Kind::IsNull;
        e.negated = acceptWord("not");
        expectWord("null");
        e.pos = left.pos;
        e.args.push_back(std::move(left));
        return e;
    }
    bool negated = false;
    if (t.isWord("not") &&
        (peek(1).isWord("like") || peek(1).isWord("in") || peek(1).isWord("between"))) {
        take();
        negated = true;
    }
    if (acceptWord("like")) {
        Expr e;
        e.kind = Expr::Kind::Like;
        e.negated = negated;
        e.pos = left.pos;
        e.args.push_back(std::move(left));
        e.args.push_back(parseAdditive());
        return e;
    }
    if (acceptWord("in")) {
        Expr e;
        e.kind = Expr::Kind::InList;
        e.negated = negated;
        e.pos = left.pos;
        e.args.push_back(std::move(left));
        expectSymbol(u"(");
        do {
            e.args.push_back(parseExpr());
        } while (acceptSymbol(u","));
        expectSymbol(u")");
        return e;
    }
    if (acceptWord("between")) {
        Expr e;
        e.kind = Expr::Kind::Between;
        e.negated = negated;
        e.pos = left.pos;
        e.args.push_back(std::move(left));
        e.args.push_back(parseAdditive());
        expectWord("and");
        e.args.push_back(parseAdditive());
        return e;
    }
    if (negated) {
        fail();
    }
    return left;
}

Expr Parser::parseAdditive() {
    Expr left = parseMultiplicative();
    while (peek().isSymbol(u"+") || peek().isSymbol(u"-")) {
        Expr e;
        e.kind = Expr::Kind::Binary;
        e.text = take().text;
        e.pos = left.pos;
        e.args.push_back(std::move(left));
        e.args.push_back(parseMultiplicative());
        e.end = e.args.back().end;
        left = std::move(e);
    }
    return left;
}

Expr Parser::parseMultiplicative() {
    Expr left = parseUnary();
    while (peek().isSymbol(u"*") || peek().isSymbol(u"/") || peek().isSymbol(u"%")) {
        Expr e;
        e.kind = Expr::Kind::Binary;
        e.text = take().text;
        e.pos = left.pos;
        e.args.push_back(std::move(left));
        e.args.push_back(parseUnary());
        e.end = e.args.back().end;
        left = std::move(e);
    }
    return left;
}

Expr Parser::parseUnary() {
    if (peek().isSymbol(u"-") || peek().isSymbol(u"+")) {
        const Token& op = take();
        Expr inner = parseUnary();
        Expr e;
        e.kind = Expr::Kind::Unary;
        e.text = op.text;
        e.pos = op.begin;
        e.end = inner.end;
        e.args.push_back(std::move(inner));
        return e;
    }
    return parsePrimary();
}

Expr Parser::parsePrimary() {
    const Token& t = peek();
    switch (t.kind) {
    case TokenKind::String:
        take();
        return literalExpr(LiteralKind::String, t.text, t.begin, t.end);
    case TokenKind::NString:
        take();
        return literalExpr(LiteralKind::NString, t.text, t.begin, t.end);
    case TokenKind::Integer:
        take();
        return literalExpr(LiteralKind::Integer, t.text, t.begin, t.end);
    case TokenKind::Number:
        take();
        return literalExpr(LiteralKind::Number, t.text, t.begin, t.end);
    case TokenKind::Float:
        take();
        return literalExpr(LiteralKind::Float, t.text, t.begin, t.end);
    case TokenKind::Hex:
        take();
        return literalExpr(LiteralKind::Hex, t.text, t.begin, t.end);
    case TokenKind::Variable: {
        take();
        Expr e;
        e.kind = Expr::Kind::Variable;
        e.text = t.text;
        e.pos = t.begin;
        e.end = t.end;
        return e;
    }
    case TokenKind::Symbol:
        if (t.isSymbol(u"(")) {
            take();
            Expr e = parseExpr();
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
    if (t.isWord("null")) {
        take();
        return literalExpr(LiteralKind::Null, u"", t.begin, t.end);
    }
    if (t.isWord("cast") && peek(1).isSymbol(u"(")) {
        take();
        take();
        Expr e;
        e.kind = Expr::Kind::Cast;
        e.pos = t.begin;
        e.args.push_back(parseExpr());
        expectWord("as");
        e.castType = parseType();
        expectSymbol(u")");
        return e;
    }
    if (t.isWord("convert") && peek(1).isSymbol(u"(")) {
        take();
        take();
        Expr e;
        e.kind = Expr::Kind::Cast;
        e.pos = t.begin;
        TypeSpec declared = parseType();
        e.castType = std::move(declared);
        expectSymbol(u",");
        e.args.push_back(parseExpr());
        if (acceptSymbol(u",")) {
            e.args.push_back(parseExpr()); // style
        }
        expectSymbol(u")");
        return e;
    }
    if (reserved(t)) {
        fail();
    }
    // name, qualified name, or function call
    std::vector<std::u16string> parts;
    std::size_t pos = t.begin;
    parts.push_back(take().text);
    while (peek().isSymbol(u".")) {
        take();
        if (peek().isSymbol(u"*")) {
            fail();
        }
        parts.push_back(parseName());
    }
    if (peek().isSymbol(u"(")) {
        take();
        Expr e;
        e.kind = Expr::Kind::Function;
        e.text = parts.back();
        e.pos = pos;
        if ((text::isKeyword(e.text, "count") || text::isKeyword(e.text, "count_big")) &&
            peek().isSymbol(u"*")) {
            take();
            expectSymbol(u")");
            e.kind = Expr::Kind::CountStar;
            return e;
        }
        if (!peek().isSymbol(u")")) {
            do {
                e.args.push_back(parseExpr());
            } while (acceptSymbol(u","));
        }
        expectSymbol(u")");
        e.end = peek().begin;
        return e;
    }
    Expr e;
    e.kind = Expr::Kind::Column;
    e.text = parts.back();
    e.pos = pos;
    parts.pop_back();
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i != 0) {
            e.qualifier.push_back(u'.');
        }
        e.qualifier += parts[i];
    }
    return e;
}

std::optional<TypeSpec> Parser::parseTypeText(const std::u16string& typeText) {
    std::vector<Token> tokens;
    if (Lexer::tokenize(typeText, tokens)) {
        return std::nullopt;
    }
    Parser p(typeText, tokens);
    try {
        TypeSpec t = p.parseType();
        if (p.peek().kind != TokenKind::End) {
            return std::nullopt;
        }
        return t;
    } catch (const SyntaxError&) {
        return std::nullopt;
    }
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
        while (p.peek().kind != TokenKind::End) {
            if (p.peek().kind != TokenKind::Variable) {
                return std::nullopt;
            }
            ParamDecl d;
            d.name = p.take().text;
            p.acceptWord("as");
            d.type = p.parseType();
            if (p.peek().isWord("output") || p.peek().isWord("out")) {
                p.take();
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

} // namespace tds
