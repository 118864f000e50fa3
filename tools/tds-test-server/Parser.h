#pragma once

// A recursive-descent parser for the T-SQL the test server understands. The whole batch is parsed
// before anything runs, so a syntax error anywhere fails the batch as SQL Server's compiler does.

#include <optional>
#include <string>
#include <vector>

#include "Ast.h"
#include "Lexer.h"

namespace tds {

class Parser {
public:
    Parser(const std::u16string& sql, const std::vector<Token>& tokens);

    // Parses all statements; on a syntax error returns error 102 (or the like) and nothing else.
    std::optional<Message> parseBatch(std::vector<Statement>& out);

    // Parses a type as written in a parameter list ("nvarchar(4000)", "int").
    static std::optional<TypeSpec> parseTypeText(const std::u16string& text);
    // Parses a parameter declaration list "@p1 int, @p2 nvarchar(10) OUTPUT".
    struct ParamDecl {
        std::u16string name;
        TypeSpec type;
    };
    static std::optional<std::vector<ParamDecl>> parseParamDecls(const std::u16string& text);

private:
    struct SyntaxError {
        std::size_t token;
    };

    const Token& peek(std::size_t ahead = 0) const;
    const Token& take();
    bool acceptWord(std::string_view keyword);
    bool acceptSymbol(std::u16string_view symbol);
    void expectWord(std::string_view keyword);
    void expectSymbol(std::u16string_view symbol);
    [[noreturn]] void fail() const;
    [[noreturn]] void failAt(std::size_t token) const;
    bool atStatementEnd() const;
    bool isReservedStart(const Token& t) const;

    Statement parseStatement(bool firstInBatch);
    std::vector<Statement> parseBlock();
    SelectStmt parseSelect();
    CreateTableStmt parseCreateTable();
    DropTableStmt parseDropTable();
    InsertStmt parseInsert();
    ExecStmt parseExec(bool hadKeyword);
    UseStmt parseUse();
    SetStmt parseSet();
    ObjectName parseObjectName();
    std::u16string parseName();
    TypeSpec parseType();
    bool parseKeyKind(); // PRIMARY KEY or UNIQUE, [NON]CLUSTERED; true for a primary key

    Expr parseExpr();
    Expr parseOr();
    Expr parseAnd();
    Expr parseNot();
    Expr parsePredicate();
    Expr parseAdditive();
    Expr parseMultiplicative();
    Expr parseUnary();
    Expr parsePrimary();

    const std::u16string& sql_;
    const std::vector<Token>& tokens_;
    std::size_t at_ = 0;
};

} // namespace tds
