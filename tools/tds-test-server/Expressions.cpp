#include "Expressions.h"

#include <algorithm>

#include "Session.h"
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

int scaleOf(const ColumnType& t) {
    return t.type == Type::Money || t.type == Type::SmallMoney ? 4
           : Types::isExactNumeric(t.type)                     ? t.scale
                                                               : 0;
}

// The type both sides of a comparison are converted to: the one of higher precedence, wide
// enough that neither side loses digits, characters or bytes on the way.
ColumnType commonType(const ColumnType& a, const ColumnType& b) {
    ColumnType c = Types::precedence(a.type) >= Types::precedence(b.type) ? a : b;
    if (Types::isBinary(c.type)) {
        c = ColumnType{Type::VarBinary, -1, 0, 0};
    } else if (c.type == Type::Decimal || c.type == Type::Numeric) {
        c = ColumnType{Type::Numeric, 0, 38,
                       static_cast<std::uint8_t>(std::max(scaleOf(a), scaleOf(b)))};
    } else if (c.type == Type::Time || c.type == Type::DateTime2 ||
               c.type == Type::DateTimeOffset) {
        c.scale = 7;
    }
    return c;
}

template <typename T> int order(const T& a, const T& b) {
    return a < b ? -1 : b < a ? 1 : 0;
}

// Two values of one type, as stored.
int compareSame(const Value& x, const Value& y) {
    if (const auto* i = std::get_if<std::int64_t>(&x)) {
        return order(*i, std::get<std::int64_t>(y));
    }
    if (const auto* d = std::get_if<double>(&x)) {
        return order(*d, std::get<double>(y));
    }
    if (const auto* dec = std::get_if<Decimal>(&x)) {
        return order(dec->unscaled, std::get<Decimal>(y).unscaled);
    }
    if (const auto* s = std::get_if<std::string>(&x)) {
        return order(*s, std::get<std::string>(y));
    }
    if (const auto* u = std::get_if<std::u16string>(&x)) {
        return text::compareCi(*u, std::get<std::u16string>(y));
    }
    const auto& a = std::get<DateTimeValue>(x);
    const auto& b = std::get<DateTimeValue>(y);
    return a.days != b.days ? order(a.days, b.days) : order(a.ticks, b.ticks);
}

// CONVERT's target type; char and binary types without a length are 30 long.
std::optional<Message> convertType(const DeclaredType& declared, ColumnType& out) {
    if (auto m = Types::resolve(declared, 1, u"", out)) {
        return m;
    }
    const Type t = out.type;
    if (declared.args.empty() && (t == Type::VarChar || t == Type::NVarChar || t == Type::Char ||
                                  t == Type::NChar || t == Type::VarBinary || t == Type::Binary)) {
        out.length = 30;
    }
    return std::nullopt;
}

Message undeclared(const std::u16string& name) {
    return makeMessage(137, 15, 2, u"Must declare the scalar variable \"" + name + u"\".");
}

std::optional<Message> callFunction(const Expr& e, const EvalContext& ctx, Typed& out) {
    Typed arg;
    if (auto m = Expressions::eval(e.args[0], ctx, arg)) {
        return m;
    }
    if (text::isKeyword(e.text, "object_id")) {
        out = Typed{Value{}, ColumnType{Type::Int, 0, 0, 0}};
        if (const auto name = Convert::textOrNull(arg)) {
            if (const auto id = ctx.session->objectId(*name)) {
                out.value = std::int64_t{*id};
            }
        }
        return std::nullopt;
    }
    out = Typed{Value{}, ColumnType{Type::NVarChar, 128, 0, 0}};
    if (const auto id = Convert::bigintOrNull(arg)) {
        if (auto schema = ctx.session->objectSchema(static_cast<std::int32_t>(*id))) {
            out.value = std::move(*schema);
        }
    }
    return std::nullopt;
}

std::optional<Message> negate(Typed& v) {
    if (auto* i = std::get_if<std::int64_t>(&v.value)) {
        if (*i == INT64_MIN) {
            return makeMessage(8115, 16, 2,
                               u"Arithmetic overflow error converting expression to data type " +
                                   Types::name(v.type.type) + u".");
        }
        *i = -*i;
    } else if (auto* d = std::get_if<double>(&v.value)) {
        *d = -*d;
    } else if (auto* dec = std::get_if<Decimal>(&v.value)) {
        dec->unscaled = -dec->unscaled;
    } else if (!isNull(v)) {
        return makeMessage(8117, 16, 1,
                           u"Operand data type " + Types::name(v.type.type) +
                               u" is invalid for minus operator.");
    }
    return std::nullopt;
}

} // namespace

std::optional<Message> Expressions::bind(Expr& e, const std::vector<Column>& columns) {
    if (e.kind == Expr::Kind::Column) {
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (text::equalsCi(columns[i].name, e.text)) {
                e.slot = static_cast<std::int32_t>(i);
                return std::nullopt;
            }
        }
        return makeMessage(207, 16, 1, u"Invalid column name '" + e.text + u"'.");
    }
    for (auto& a : e.args) {
        if (auto m = bind(a, columns)) {
            return m;
        }
    }
    return std::nullopt;
}

std::optional<Message> Expressions::eval(const Expr& e, const EvalContext& ctx, Typed& out) {
    switch (e.kind) {
    case Expr::Kind::Literal:
        return Convert::literal(e.literal, e.text, out);
    case Expr::Kind::Column:
        if (ctx.row == nullptr || e.slot < 0) {
            return makeMessage(207, 16, 1, u"Invalid column name '" + e.text + u"'.");
        }
        out.value = (*ctx.row)[static_cast<std::size_t>(e.slot)];
        out.type = (*ctx.columns)[static_cast<std::size_t>(e.slot)].type;
        return std::nullopt;
    case Expr::Kind::Variable: {
        const Typed* v = ctx.vars != nullptr ? ctx.vars->find(e.text) : nullptr;
        if (v == nullptr) {
            return undeclared(e.text);
        }
        out = *v;
        return std::nullopt;
    }
    case Expr::Kind::Function:
        return callFunction(e, ctx, out);
    case Expr::Kind::Convert: {
        Typed in;
        if (auto m = eval(e.args[0], ctx, in)) {
            return m;
        }
        if (auto m = convertType(e.type, out.type)) {
            return m;
        }
        return Convert::to(in, out.type, out.value, nullptr);
    }
    case Expr::Kind::Negate:
        if (auto m = eval(e.args[0], ctx, out)) {
            return m;
        }
        return negate(out);
    case Expr::Kind::CountStar:
        return makeMessage(147, 15, 1,
                           u"An aggregate may not appear in the WHERE clause unless it is in a "
                           u"subquery contained in a HAVING clause or a select list, and the "
                           u"column being aggregated is an outer reference.");
    case Expr::Kind::Compare:
    case Expr::Kind::And:
        break;
    }
    return makeMessage(102, 15, 1, u"Incorrect syntax near '" + e.text + u"'.");
}

std::optional<Message> Expressions::holds(const Expr& e, const EvalContext& ctx, bool& out) {
    out = false;
    if (e.kind == Expr::Kind::And) {
        // Unknown AND anything is never true, so two-valued logic is enough here.
        if (auto m = holds(e.args[0], ctx, out); m || !out) {
            return m;
        }
        return holds(e.args[1], ctx, out);
    }
    if (e.kind != Expr::Kind::Compare) {
        return makeMessage(4145, 15, 1,
                           u"An expression of non-boolean type specified in a context where a "
                           u"condition is expected.");
    }
    Typed a;
    Typed b;
    if (auto m = eval(e.args[0], ctx, a)) {
        return m;
    }
    if (auto m = eval(e.args[1], ctx, b)) {
        return m;
    }
    std::optional<int> c;
    if (auto m = compare(a, b, c)) {
        return m;
    }
    if (c) {
        const std::u16string& op = e.text;
        out = op == u"="    ? *c == 0
              : op == u"<>" ? *c != 0
              : op == u"<"  ? *c < 0
              : op == u">"  ? *c > 0
              : op == u"<=" ? *c <= 0
                            : *c >= 0;
    }
    return std::nullopt;
}

std::optional<Message> Expressions::typeOf(const Expr& e, const EvalContext& ctx, ColumnType& out) {
    switch (e.kind) {
    case Expr::Kind::Column:
        out = (*ctx.columns)[static_cast<std::size_t>(e.slot)].type;
        return std::nullopt;
    case Expr::Kind::Convert:
        return convertType(e.type, out);
    case Expr::Kind::Negate:
        return typeOf(e.args[0], ctx, out);
    case Expr::Kind::Function:
        out = text::isKeyword(e.text, "object_id") ? ColumnType{Type::Int, 0, 0, 0}
                                                   : ColumnType{Type::NVarChar, 128, 0, 0};
        return std::nullopt;
    case Expr::Kind::CountStar:
        out = ColumnType{Type::Int, 0, 0, 0};
        return std::nullopt;
    default: {
        Typed t;
        auto m = eval(e, ctx, t);
        out = t.type;
        return m;
    }
    }
}

std::optional<Message> Expressions::compare(const Typed& a, const Typed& b,
                                            std::optional<int>& out) {
    out.reset();
    if (isNull(a) || isNull(b)) {
        return std::nullopt;
    }
    const Type ta = a.type.type;
    const Type tb = b.type.type;
    if (isTextType(ta) && isTextType(tb)) {
        out = text::compareCi(Convert::toText(a), Convert::toText(b));
        return std::nullopt;
    }
    const ColumnType common = commonType(a.type, b.type);
    Value x;
    Value y;
    if (auto m = Convert::to(a, common, x, nullptr)) {
        return m;
    }
    if (auto m = Convert::to(b, common, y, nullptr)) {
        return m;
    }
    out = compareSame(x, y);
    return std::nullopt;
}

} // namespace tds
