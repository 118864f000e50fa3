#include "Evaluator.h"

#include <cmath>

#include "Parser.h"
#include "SessionImpl.h"
#include "Text.h"
#include "Types.h"

namespace tds {

namespace {

bool isNull(const Typed& t) {
    return std::holds_alternative<std::monostate>(t.value);
}

bool isTextType(Type t) {
    return Types::isCharacter(t) || Types::isNational(t);
}

bool isNumeric(Type t) {
    return Types::isInteger(t) || Types::isExactNumeric(t) || t == Type::Float || t == Type::Real;
}

// SQL Server's data type precedence: the higher one wins a comparison or an operation.
int precedence(Type t) {
    switch (t) {
    case Type::DateTimeOffset:
        return 30;
    case Type::DateTime2:
        return 29;
    case Type::DateTime:
        return 28;
    case Type::SmallDateTime:
        return 27;
    case Type::Date:
        return 26;
    case Type::Time:
        return 25;
    case Type::Float:
        return 24;
    case Type::Real:
        return 23;
    case Type::Decimal:
    case Type::Numeric:
        return 22;
    case Type::Money:
        return 21;
    case Type::SmallMoney:
        return 20;
    case Type::BigInt:
        return 19;
    case Type::Int:
        return 18;
    case Type::SmallInt:
        return 17;
    case Type::TinyInt:
        return 16;
    case Type::Bit:
        return 15;
    case Type::NText:
        return 14;
    case Type::Text:
        return 13;
    case Type::Image:
        return 12;
    case Type::UniqueIdentifier:
        return 10;
    case Type::NVarChar:
        return 9;
    case Type::NChar:
        return 8;
    case Type::VarChar:
        return 7;
    case Type::Char:
        return 6;
    case Type::VarBinary:
        return 5;
    case Type::Binary:
        return 4;
    case Type::Xml:
        return 31;
    }
    return 0;
}

ColumnType wideType(const ColumnType& t) {
    // The type to convert the lower side of a comparison to.
    ColumnType w = t;
    if (t.type == Type::Char || t.type == Type::VarChar || t.type == Type::Text) {
        w.type = Type::VarChar;
        w.length = -1;
    } else if (t.type == Type::NChar || t.type == Type::NVarChar || t.type == Type::NText) {
        w.type = Type::NVarChar;
        w.length = -1;
    } else if (t.type == Type::Decimal || t.type == Type::Numeric) {
        w.type = Type::Numeric;
        w.precision = 38;
        w.scale = t.scale;
    }
    return w;
}

int cmpBytes(const std::string& a, const std::string& b) {
    int c = a.compare(b);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

double asDouble(const Typed& t) {
    Value v;
    ColumnType f;
    f.type = Type::Float;
    f.precision = 53;
    if (Convert::to(t, f, v, nullptr)) {
        return 0;
    }
    return std::get<double>(v);
}

Typed makeInt(std::int64_t v, Type type = Type::Int) {
    Typed t;
    t.type.type = type;
    t.value = v;
    return t;
}

Typed makeNText(std::u16string s, std::int32_t length = 128) {
    Typed t;
    t.type.type = Type::NVarChar;
    t.type.length = length;
    t.value = std::move(s);
    return t;
}

Typed nullOf(Type type, std::int32_t length = 0) {
    Typed t;
    t.type.type = type;
    t.type.length = length;
    return t;
}

std::u16string asText(const Typed& t) {
    if (const auto* u = std::get_if<std::u16string>(&t.value)) {
        return *u;
    }
    return Convert::toText(t);
}

std::optional<Message> arithmetic(const std::u16string& op, const Typed& a, const Typed& b,
                                  Typed& out) {
    if (isNull(a) || isNull(b)) {
        out =
            nullOf(precedence(a.type.type) >= precedence(b.type.type) ? a.type.type : b.type.type);
        return std::nullopt;
    }
    const Type ta = a.type.type;
    const Type tb = b.type.type;
    if (op == u"+" && isTextType(ta) && isTextType(tb)) {
        if (Types::isNational(ta) || Types::isNational(tb)) {
            out = makeNText(asText(a) + asText(b), -1);
        } else {
            out.type.type = Type::VarChar;
            out.type.length = -1;
            out.value = std::get<std::string>(a.value) + std::get<std::string>(b.value);
        }
        return std::nullopt;
    }
    Type result = precedence(ta) >= precedence(tb) ? ta : tb;
    if (!isNumeric(result)) {
        return makeMessage(402, 16, 1,
                           u"The data types " + Types::name(ta) + u" and " + Types::name(tb) +
                               u" are incompatible in the " + op + u" operator.");
    }
    if (Types::isInteger(result)) {
        ColumnType big;
        big.type = Type::BigInt;
        Value va;
        Value vb;
        if (auto m = Convert::to(a, big, va, nullptr)) {
            return m;
        }
        if (auto m = Convert::to(b, big, vb, nullptr)) {
            return m;
        }
        Int128 x = std::get<std::int64_t>(va);
        Int128 y = std::get<std::int64_t>(vb);
        Int128 r = 0;
        if (op == u"+") {
            r = x + y;
        } else if (op == u"-") {
            r = x - y;
        } else if (op == u"*") {
            r = x * y;
        } else {
            if (y == 0) {
                return makeMessage(8134, 16, 1, u"Divide by zero error encountered.");
            }
            r = op == u"/" ? x / y : x % y;
        }
        Type rt = result == Type::BigInt ? Type::BigInt : Type::Int;
        const Int128 lo = rt == Type::BigInt ? INT64_MIN : -2147483648LL;
        const Int128 hi = rt == Type::BigInt ? INT64_MAX : 2147483647LL;
        if (r < lo || r > hi) {
            return makeMessage(8115, 16, 2,
                               u"Arithmetic overflow error converting expression to data type " +
                                   Types::name(rt) + u".");
        }
        out = makeInt(static_cast<std::int64_t>(r), rt);
        return std::nullopt;
    }
    double x = asDouble(a);
    double y = asDouble(b);
    double r = 0;
    if (op == u"+") {
        r = x + y;
    } else if (op == u"-") {
        r = x - y;
    } else if (op == u"*") {
        r = x * y;
    } else {
        if (y == 0) {
            return makeMessage(8134, 16, 1, u"Divide by zero error encountered.");
        }
        r = op == u"/" ? x / y : std::fmod(x, y);
    }
    out.type.type = Type::Float;
    out.type.precision = 53;
    out.value = r;
    return std::nullopt;
}

bool likeAt(std::u16string_view v, std::size_t i, std::u16string_view p, std::size_t j) {
    while (j < p.size()) {
        char16_t c = p[j];
        if (c == u'%') {
            while (j < p.size() && p[j] == u'%') {
                ++j;
            }
            if (j == p.size()) {
                return true;
            }
            for (std::size_t k = i; k <= v.size(); ++k) {
                if (likeAt(v, k, p, j)) {
                    return true;
                }
            }
            return false;
        }
        if (i >= v.size()) {
            return false;
        }
        if (c == u'_') {
            ++i;
            ++j;
            continue;
        }
        if (c == u'[') {
            std::size_t close = p.find(u']', j + 1);
            if (close != std::u16string_view::npos) {
                std::u16string_view set = p.substr(j + 1, close - j - 1);
                bool negate = !set.empty() && set[0] == u'^';
                if (negate) {
                    set.remove_prefix(1);
                }
                bool match = false;
                char16_t x = text::fold(v[i]);
                for (std::size_t k = 0; k < set.size(); ++k) {
                    if (k + 2 < set.size() && set[k + 1] == u'-') {
                        if (x >= text::fold(set[k]) && x <= text::fold(set[k + 2])) {
                            match = true;
                        }
                        k += 2;
                    } else if (text::fold(set[k]) == x) {
                        match = true;
                    }
                }
                if (match == negate) {
                    return false;
                }
                ++i;
                j = close + 1;
                continue;
            }
        }
        if (text::fold(c) != text::fold(v[i])) {
            return false;
        }
        ++i;
        ++j;
    }
    // Trailing spaces of the value are ignored.
    while (i < v.size() && v[i] == u' ') {
        ++i;
    }
    return i == v.size();
}

bool readsColumns(const Expr& e) {
    if (e.kind == Expr::Kind::Column || e.kind == Expr::Kind::CountStar) {
        return true;
    }
    for (const auto& a : e.args) {
        if (readsColumns(a)) {
            return true;
        }
    }
    return false;
}

} // namespace

bool Evaluator::like(std::u16string_view value, std::u16string_view pattern) {
    return likeAt(value, 0, pattern, 0);
}

bool Evaluator::containsAggregate(const Expr& e) {
    if (e.kind == Expr::Kind::CountStar) {
        return true;
    }
    for (const auto& a : e.args) {
        if (containsAggregate(a)) {
            return true;
        }
    }
    return false;
}

std::optional<Message> Evaluator::compare(const Typed& a, const Typed& b, std::optional<int>& out) {
    out.reset();
    if (isNull(a) || isNull(b)) {
        return std::nullopt;
    }
    const Type ta = a.type.type;
    const Type tb = b.type.type;
    if (isTextType(ta) && isTextType(tb)) {
        out = text::compareCi(asText(a), asText(b));
        return std::nullopt;
    }
    if (Types::isBinary(ta) && Types::isBinary(tb)) {
        out = cmpBytes(std::get<std::string>(a.value), std::get<std::string>(b.value));
        return std::nullopt;
    }
    // Convert the side of lower precedence to the other's type.
    const bool aWins = precedence(ta) >= precedence(tb);
    const Typed& hi = aWins ? a : b;
    const Typed& lo = aWins ? b : a;
    Typed conv;
    conv.type = wideType(hi.type);
    if (auto m = Convert::to(lo, conv.type, conv.value, nullptr)) {
        return m;
    }
    Typed hiw;
    hiw.type = conv.type;
    if (auto m = Convert::to(hi, conv.type, hiw.value, nullptr)) {
        return m;
    }
    int c = 0;
    const Value& x = aWins ? hiw.value : conv.value;
    const Value& y = aWins ? conv.value : hiw.value;
    if (const auto* i = std::get_if<std::int64_t>(&x)) {
        std::int64_t j = std::get<std::int64_t>(y);
        c = *i < j ? -1 : *i > j ? 1 : 0;
    } else if (const auto* d = std::get_if<double>(&x)) {
        double e = std::get<double>(y);
        c = *d < e ? -1 : *d > e ? 1 : 0;
    } else if (const auto* dec = std::get_if<Decimal>(&x)) {
        auto e = std::get<Decimal>(y).unscaled;
        c = dec->unscaled < e ? -1 : dec->unscaled > e ? 1 : 0;
    } else if (const auto* s = std::get_if<std::string>(&x)) {
        c = cmpBytes(*s, std::get<std::string>(y));
    } else if (const auto* u = std::get_if<std::u16string>(&x)) {
        c = text::compareCi(*u, std::get<std::u16string>(y));
    } else if (const auto* dt = std::get_if<DateTimeValue>(&x)) {
        const auto& e = std::get<DateTimeValue>(y);
        c = dt->days != e.days     ? (dt->days < e.days ? -1 : 1)
            : dt->ticks != e.ticks ? (dt->ticks < e.ticks ? -1 : 1)
                                   : 0;
    }
    out = c;
    return std::nullopt;
}

std::optional<Message> Evaluator::test(const Expr& e, const EvalEnv& env, bool& out) {
    Truth t = Truth::Unknown;
    auto m = truth(e, env, t);
    out = t == Truth::True;
    return m;
}

std::optional<Message> Evaluator::truth(const Expr& e, const EvalEnv& env, Truth& out) {
    out = Truth::Unknown;
    auto fromCompare = [](const std::optional<int>& c, auto pred) {
        return !c ? Truth::Unknown : pred(*c) ? Truth::True : Truth::False;
    };
    auto negate = [](Truth t) {
        return t == Truth::Unknown ? t : t == Truth::True ? Truth::False : Truth::True;
    };
    switch (e.kind) {
    case Expr::Kind::Exists: {
        if (env.session == nullptr || !e.subquery) {
            break;
        }
        bool found = false;
        auto m = env.session->exists(*e.subquery, env.vars, found);
        out = found ? Truth::True : Truth::False;
        return m;
    }
    case Expr::Kind::Binary: {
        if (e.text == u"and" || e.text == u"or") {
            const bool isAnd = e.text == u"and";
            Truth x = Truth::Unknown;
            if (auto m = truth(e.args[0], env, x)) {
                return m;
            }
            if (isAnd && x == Truth::False) {
                out = Truth::False;
                return std::nullopt;
            }
            if (!isAnd && x == Truth::True) {
                out = Truth::True;
                return std::nullopt;
            }
            Truth y = Truth::Unknown;
            if (auto m = truth(e.args[1], env, y)) {
                return m;
            }
            if (isAnd) {
                out = y == Truth::False                              ? Truth::False
                      : (x == Truth::Unknown || y == Truth::Unknown) ? Truth::Unknown
                                                                     : Truth::True;
            } else {
                out = y == Truth::True                               ? Truth::True
                      : (x == Truth::Unknown || y == Truth::Unknown) ? Truth::Unknown
                                                                     : Truth::False;
            }
            return std::nullopt;
        }
        Typed a;
        Typed b;
        if (auto m = eval(e.args[0], env, a)) {
            return m;
        }
        if (auto m = eval(e.args[1], env, b)) {
            return m;
        }
        std::optional<int> c;
        if (auto m = compare(a, b, c)) {
            return m;
        }
        const auto& op = e.text;
        if (op == u"=") {
            out = fromCompare(c, [](int v) { return v == 0; });
        } else if (op == u"<>") {
            out = fromCompare(c, [](int v) { return v != 0; });
        } else if (op == u"<") {
            out = fromCompare(c, [](int v) { return v < 0; });
        } else if (op == u">") {
            out = fromCompare(c, [](int v) { return v > 0; });
        } else if (op == u"<=") {
            out = fromCompare(c, [](int v) { return v <= 0; });
        } else if (op == u">=") {
            out = fromCompare(c, [](int v) { return v >= 0; });
        } else {
            break;
        }
        return std::nullopt;
    }
    case Expr::Kind::Unary:
        if (e.text == u"not") {
            Truth x = Truth::Unknown;
            if (auto m = truth(e.args[0], env, x)) {
                return m;
            }
            out = negate(x);
            return std::nullopt;
        }
        break;
    case Expr::Kind::IsNull: {
        Typed a;
        if (auto m = eval(e.args[0], env, a)) {
            return m;
        }
        out = isNull(a) != e.negated ? Truth::True : Truth::False;
        return std::nullopt;
    }
    case Expr::Kind::Like: {
        Typed a;
        Typed p;
        if (auto m = eval(e.args[0], env, a)) {
            return m;
        }
        if (auto m = eval(e.args[1], env, p)) {
            return m;
        }
        if (isNull(a) || isNull(p)) {
            return std::nullopt;
        }
        out = like(asText(a), asText(p)) != e.negated ? Truth::True : Truth::False;
        return std::nullopt;
    }
    case Expr::Kind::InList: {
        Typed a;
        if (auto m = eval(e.args[0], env, a)) {
            return m;
        }
        Truth found = Truth::False;
        for (std::size_t i = 1; i < e.args.size() && found != Truth::True; ++i) {
            Typed b;
            if (auto m = eval(e.args[i], env, b)) {
                return m;
            }
            std::optional<int> c;
            if (auto m = compare(a, b, c)) {
                return m;
            }
            if (!c) {
                found = Truth::Unknown;
            } else if (*c == 0) {
                found = Truth::True;
            }
        }
        out = e.negated ? negate(found) : found;
        return std::nullopt;
    }
    case Expr::Kind::Between: {
        Typed a;
        Typed lo;
        Typed hi;
        if (auto m = eval(e.args[0], env, a)) {
            return m;
        }
        if (auto m = eval(e.args[1], env, lo)) {
            return m;
        }
        if (auto m = eval(e.args[2], env, hi)) {
            return m;
        }
        std::optional<int> c1;
        std::optional<int> c2;
        if (auto m = compare(a, lo, c1)) {
            return m;
        }
        if (auto m = compare(a, hi, c2)) {
            return m;
        }
        if (!c1 || !c2) {
            return std::nullopt;
        }
        Truth t = (*c1 >= 0 && *c2 <= 0) ? Truth::True : Truth::False;
        out = e.negated ? negate(t) : t;
        return std::nullopt;
    }
    default:
        break;
    }
    return makeMessage(4145, 15, 1,
                       u"An expression of non-boolean type specified in a context where a "
                       u"condition is expected.");
}

std::optional<Message> Evaluator::eval(const Expr& e, const EvalEnv& env, Typed& out) {
    switch (e.kind) {
    case Expr::Kind::Literal:
        return Convert::literal(e.literal, e.text, out);
    case Expr::Kind::Constant:
        out.value = e.constValue;
        out.type = e.constType;
        return std::nullopt;
    case Expr::Kind::Column:
        if (env.row == nullptr || e.slot < 0) {
            return makeMessage(207, 16, 1, u"Invalid column name '" + e.text + u"'.");
        }
        out.value = (*env.row)[static_cast<std::size_t>(e.slot)];
        out.type = (*env.columns)[static_cast<std::size_t>(e.slot)].type;
        return std::nullopt;
    case Expr::Kind::Unary: {
        if (e.text == u"not") {
            break;
        }
        if (auto m = eval(e.args[0], env, out)) {
            return m;
        }
        if (e.text == u"-" && !isNull(out)) {
            if (auto* i = std::get_if<std::int64_t>(&out.value)) {
                *i = -*i;
            } else if (auto* d = std::get_if<double>(&out.value)) {
                *d = -*d;
            } else if (auto* dec = std::get_if<Decimal>(&out.value)) {
                dec->unscaled = -dec->unscaled;
            } else {
                return makeMessage(8117, 16, 1,
                                   u"Operand data type " + Types::name(out.type.type) +
                                       u" is invalid for minus operator.");
            }
        }
        return std::nullopt;
    }
    case Expr::Kind::Binary: {
        const auto& op = e.text;
        if (op == u"+" || op == u"-" || op == u"*" || op == u"/" || op == u"%") {
            Typed a;
            Typed b;
            if (auto m = eval(e.args[0], env, a)) {
                return m;
            }
            if (auto m = eval(e.args[1], env, b)) {
                return m;
            }
            return arithmetic(op, a, b, out);
        }
        break;
    }
    case Expr::Kind::Cast: {
        Typed in;
        if (auto m = eval(e.args[0], env, in)) {
            return m;
        }
        ColumnType t;
        if (auto m = Types::resolve(e.castType, 1, u"", t)) {
            return m;
        }
        if (e.castType.args.empty() &&
            (t.type == Type::VarChar || t.type == Type::NVarChar || t.type == Type::Char ||
             t.type == Type::NChar || t.type == Type::VarBinary || t.type == Type::Binary)) {
            t.length = 30; // CAST and CONVERT default to 30
        }
        out.type = t;
        return Convert::to(in, t, out.value, nullptr);
    }
    case Expr::Kind::Function:
    case Expr::Kind::Variable:
        if (env.session != nullptr) {
            break;
        }
        return makeMessage(4145, 16, 1, u"Cannot evaluate '" + e.text + u"' here.");
    case Expr::Kind::CountStar:
        return makeMessage(147, 15, 1,
                           u"An aggregate may not appear in the WHERE clause unless it is in a "
                           u"subquery contained in a HAVING clause or a select list, and the "
                           u"column being aggregated is an outer reference.");
    default:
        break;
    }
    if (e.kind == Expr::Kind::Function || e.kind == Expr::Kind::Variable) {
        return env.session->eval(e, env, out);
    }
    // A condition used as a value.
    return makeMessage(102, 15, 1, u"Incorrect syntax near '" + e.text + u"'.");
}

std::optional<Message> Evaluator::bind(Expr& e, const std::vector<Column>& columns,
                                       SessionImpl& session, const Variables* vars) {
    if (e.kind == Expr::Kind::Column) {
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (text::equalsCi(columns[i].name, e.text)) {
                e.slot = static_cast<std::int32_t>(i);
                return std::nullopt;
            }
        }
        return makeMessage(207, 16, 1, u"Invalid column name '" + e.text + u"'.");
    }
    if (e.kind == Expr::Kind::Exists) {
        // Decided once, before the rows are read: becomes 1 = 1 or 1 = 0.
        EvalEnv env;
        env.session = &session;
        env.vars = vars;
        bool found = false;
        if (auto m = test(e, env, found)) {
            return m;
        }
        Expr one;
        one.kind = Expr::Kind::Constant;
        one.constType.type = Type::Int;
        one.constValue = std::int64_t{1};
        Expr other = one;
        other.constValue = std::int64_t{found ? 1 : 0};
        e.kind = Expr::Kind::Binary;
        e.text = u"=";
        e.subquery.reset();
        e.args = {one, other};
        return std::nullopt;
    }
    if (!readsColumns(e)) {
        if (e.kind == Expr::Kind::Literal || e.kind == Expr::Kind::Constant) {
            return std::nullopt;
        }
        if (e.kind == Expr::Kind::Binary || e.kind == Expr::Kind::IsNull ||
            e.kind == Expr::Kind::Like || e.kind == Expr::Kind::InList ||
            e.kind == Expr::Kind::Between || (e.kind == Expr::Kind::Unary && e.text == u"not")) {
            // Conditions stay conditions; their operands are folded.
            if (e.kind == Expr::Kind::Binary && e.text != u"and" && e.text != u"or" &&
                e.text != u"=" && e.text != u"<>" && e.text != u"<" && e.text != u">" &&
                e.text != u"<=" && e.text != u">=") {
                // arithmetic: fold below
            } else {
                for (auto& a : e.args) {
                    if (auto m = bind(a, columns, session, vars)) {
                        return m;
                    }
                }
                return std::nullopt;
            }
        }
        EvalEnv env;
        env.session = &session;
        env.vars = vars;
        Typed v;
        if (auto m = eval(e, env, v)) {
            return m;
        }
        e.kind = Expr::Kind::Constant;
        e.constValue = std::move(v.value);
        e.constType = v.type;
        e.args.clear();
        return std::nullopt;
    }
    if (e.kind == Expr::Kind::Function) {
        static constexpr std::string_view kOfColumns[] = {
            "upper",      "lower",     "isnull",      "coalesce",           "len",
            "datalength", "object_id", "object_name", "object_schema_name", "schema_name",
            "schema_id",  "db_name",   "db_id"};
        bool known = false;
        for (auto k : kOfColumns) {
            known = known || text::isKeyword(e.text, k);
        }
        if (!known) {
            return makeMessage(195, 15, 10,
                               u"'" + e.text + u"' is not a recognized built-in function name.");
        }
    }
    for (auto& a : e.args) {
        if (auto m = bind(a, columns, session, vars)) {
            return m;
        }
    }
    return std::nullopt;
}

ColumnType Evaluator::typeOf(const Expr& e, const std::vector<Column>& columns) {
    switch (e.kind) {
    case Expr::Kind::Function: {
        // Functions of columns (the others were evaluated once, at binding).
        ColumnType t;
        const std::u16string& f = e.text;
        if ((text::isKeyword(f, "upper") || text::isKeyword(f, "lower") ||
             text::isKeyword(f, "isnull") || text::isKeyword(f, "coalesce")) &&
            !e.args.empty()) {
            return typeOf(e.args[0], columns);
        }
        if (text::isKeyword(f, "object_name") || text::isKeyword(f, "object_schema_name") ||
            text::isKeyword(f, "schema_name") || text::isKeyword(f, "db_name")) {
            t.type = Type::NVarChar;
            t.length = 128;
            return t;
        }
        t.type = text::isKeyword(f, "db_id") ? Type::SmallInt : Type::Int;
        return t;
    }
    case Expr::Kind::Column:
        return e.slot >= 0 ? columns[static_cast<std::size_t>(e.slot)].type : ColumnType{};
    case Expr::Kind::Constant:
        return e.constType;
    case Expr::Kind::Literal: {
        Typed t;
        Convert::literal(e.literal, e.text, t);
        return t.type;
    }
    case Expr::Kind::CountStar: {
        ColumnType t;
        t.type = text::isKeyword(e.text, "count_big") ? Type::BigInt : Type::Int;
        return t;
    }
    case Expr::Kind::Cast: {
        ColumnType t;
        Types::resolve(e.castType, 1, u"", t);
        if (e.castType.args.empty() &&
            (t.type == Type::VarChar || t.type == Type::NVarChar || t.type == Type::Char ||
             t.type == Type::NChar || t.type == Type::VarBinary || t.type == Type::Binary)) {
            t.length = 30;
        }
        return t;
    }
    case Expr::Kind::Unary:
        return typeOf(e.args[0], columns);
    case Expr::Kind::Binary: {
        ColumnType a = typeOf(e.args[0], columns);
        ColumnType b = typeOf(e.args[1], columns);
        if (isTextType(a.type) && isTextType(b.type)) {
            ColumnType t;
            t.type = (Types::isNational(a.type) || Types::isNational(b.type)) ? Type::NVarChar
                                                                              : Type::VarChar;
            t.length = -1;
            return t;
        }
        Type r = precedence(a.type) >= precedence(b.type) ? a.type : b.type;
        ColumnType t;
        if (Types::isInteger(r)) {
            t.type = r == Type::BigInt ? Type::BigInt : Type::Int;
        } else {
            t.type = Type::Float;
            t.precision = 53;
        }
        return t;
    }
    default: {
        ColumnType t;
        t.type = Type::Int;
        return t;
    }
    }
}

} // namespace tds
