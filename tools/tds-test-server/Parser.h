#pragma once

// A recursive-descent parser for the T-SQL the test server understands (README.md). The whole
// batch is parsed before anything runs, so a syntax error anywhere fails the batch as SQL
// Server's compiler does.

#include <optional>
#include <string>
#include <vector>

#include "Ast.h"
#include "Lexer.h"

namespace tds {

class Parser {
public:
    Parser(const std::u16string& sql, const std::vector<Token>& tokens);

    // Parses all statements; on a syntax error returns error 102, on a statement the double
    // leaves out its "not supported" message, and nothing else.
    std::optional<Message> parseBatch(std::vector<Statement>& out);

    // A parameter declaration list as sp_executesql takes it: "@P1 INT,@P2 NVARCHAR(20)".
    struct ParamDecl {
        std::u16string name;
        DeclaredType type;
    };
    static std::optional<std::vector<ParamDecl>> parseParamDecls(const std::u16string& text);
    // An object name given as text, as sp_rename and OBJECT_ID take it, or as an RPC names its
    // procedure: "t", "[dbo].[t]", "sales.t", "[db]..sp_tables".
    static std::optional<ObjectName> parseNameText(const std::u16string& text);

private:
    struct SyntaxError {
        std::size_t token;
    };
    struct Unsupported {
        std::u16string what;
        std::size_t token;
    };
    // An INSERT ... VALUES with more row constructors than SQL Server compiles.
    struct TooManyRows {
        std::size_t token;
    };

    const Token& peek(std::size_t ahead = 0) const;
    const Token& take();
    bool acceptWord(std::string_view keyword);
    bool acceptSymbol(std::u16string_view symbol);
    void expectWord(std::string_view keyword);
    void expectSymbol(std::u16string_view symbol);
    [[noreturn]] void fail() const;
    [[noreturn]] void unsupported(std::u16string what) const;
    // Refuses the next token when it is one of the words: a feature of T-SQL left out.
    void refuseWords(std::initializer_list<std::string_view> words) const;

    Statement parseStatement(bool firstInBatch);
    SelectStmt parseSelect();
    SelectItem parseSelectItem();
    CreateTableStmt parseCreateTable();
    ColumnDef parseColumnDef();
    InsertStmt parseInsert();
    ExecStmt parseExec();
    ObjectName parseObjectName();
    std::u16string parseName();
    DeclaredType parseType();

    Expr parseCondition();
    Expr parseComparison();
    Expr parseValue();
    Expr parsePrimary();
    Expr parseWordPrimary();

    Message syntaxError(std::size_t token) const;

    const std::u16string& sql_;
    const std::vector<Token>& tokens_;
    std::size_t at_ = 0;
};

} // namespace tds
