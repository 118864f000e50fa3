// Pieces of the test server's network half that need no network: the statement log's literals,
// the LOGIN7 reader and its password obfuscation, and the RPC parameter decoder fed with the
// bytes each TDS type arrives as.

#include "LogLiteral.h"
#include "Login7.h"
#include "RpcReader.h"

#include <QTest>

#include <cstring>

using tds::ColumnType;
using tds::DateTimeValue;
using tds::Decimal;
using tds::Type;
using tds::Value;

Q_DECLARE_METATYPE(ColumnType)
Q_DECLARE_METATYPE(Value)

namespace {

constexpr std::int32_t kDay2000 = 730119; // 2000-01-01, counted from 0001-01-01

QString literal(const ColumnType& type, const Value& value) {
    return QString::fromStdString(tds::wire::LogLiteral::render(type, value));
}

// Little-endian byte builder for hand-made messages.
struct Bytes {
    std::vector<std::uint8_t> b;
    Bytes& u8(unsigned v) {
        b.push_back(static_cast<std::uint8_t>(v));
        return *this;
    }
    Bytes& u16(unsigned v) { return u8(v & 0xFF).u8((v >> 8) & 0xFF); }
    Bytes& u32(std::uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
    Bytes& u64(std::uint64_t v) {
        return u32(static_cast<std::uint32_t>(v)).u32(static_cast<std::uint32_t>(v >> 32));
    }
    Bytes& utf16(const QString& s) {
        for (const QChar c : s)
            u16(c.unicode());
        return *this;
    }
    Bytes& raw(const QByteArray& a) {
        for (const char c : a)
            u8(static_cast<std::uint8_t>(c));
        return *this;
    }
    Bytes& collation() { return u8(0x09).u8(0x04).u8(0xD0).u8(0x00).u8(0x34); }
};

} // namespace

class TdsWirePartsTest : public QObject {
    Q_OBJECT

private slots:
    void logLiterals_data();
    void logLiterals();
    void login7();
    void rpcParameters_data();
    void rpcParameters();
    void rpcByIdAndMalformed();
};

void TdsWirePartsTest::logLiterals_data() {
    QTest::addColumn<ColumnType>("type");
    QTest::addColumn<Value>("value");
    QTest::addColumn<QString>("expected");

    auto t = [](Type type, std::int32_t length = 0, int precision = 0, int scale = 0) {
        return ColumnType{type, length, static_cast<std::uint8_t>(precision),
                          static_cast<std::uint8_t>(scale)};
    };
    QTest::newRow("NULL") << t(Type::Int) << Value{} << "NULL";
    QTest::newRow("bit") << t(Type::Bit) << Value{std::int64_t{1}} << "1";
    QTest::newRow("bigint min") << t(Type::BigInt) << Value{std::int64_t{INT64_MIN}}
                                << "-9223372036854775808";
    QTest::newRow("decimal tiny negative") << t(Type::Decimal, 0, 38, 10) << Value{Decimal{-1}}
                                           << "-0.0000000001";
    QTest::newRow("decimal scale 2") << t(Type::Decimal, 0, 9, 2) << Value{Decimal{12345}}
                                     << "123.45";
    QTest::newRow("numeric scale 0") << t(Type::Numeric, 0, 5, 0) << Value{Decimal{-5}} << "-5";
    QTest::newRow("money has 4 decimals") << t(Type::Money) << Value{Decimal{10000}} << "1.0000";
    QTest::newRow("float shortest round trip") << t(Type::Float, 0, 53) << Value{0.1} << "0.1";
    QTest::newRow("float 17 digits") << t(Type::Float, 0, 53) << Value{0.1 + 0.2}
                                     << "0.30000000000000004";
    QTest::newRow("real as single precision")
        << t(Type::Real, 0, 24) << Value{static_cast<double>(0.1f)} << "0.1";
    QTest::newRow("varchar doubles quotes") << t(Type::VarChar, 10) << Value{std::string("it's")}
                                            << "'it''s'";
    QTest::newRow("varchar code page 1252") << t(Type::VarChar, 10)
                                            << Value{std::string("\x80\xe9")}
                                            << QString::fromUtf8("'\u20ac\u00e9'");
    QTest::newRow("nvarchar") << t(Type::NVarChar, 10) << Value{std::u16string(u"\u4e2d'")}
                              << QString::fromUtf8("N'\u4e2d'''");
    QTest::newRow("xml is Unicode") << t(Type::Xml, -1) << Value{std::u16string(u"<a/>")}
                                    << "N'<a/>'";
    QTest::newRow("varbinary") << t(Type::VarBinary, 10) << Value{std::string("\0\xff", 2)}
                               << "0x00FF";
    QTest::newRow("varbinary empty") << t(Type::VarBinary, 10) << Value{std::string()} << "0x";
    QTest::newRow("uniqueidentifier in SQL Server's byte order")
        << t(Type::UniqueIdentifier, 16)
        << Value{std::string("\x33\x22\x11\x00\x55\x44\x77\x66\x88\x99\xaa\xbb\xcc\xdd\xee\xff", 16)}
        << "'00112233-4455-6677-8899-AABBCCDDEEFF'";
    QTest::newRow("date first") << t(Type::Date) << Value{DateTimeValue{0, 0, 0}} << "'0001-01-01'";
    QTest::newRow("date 2000") << t(Type::Date) << Value{DateTimeValue{kDay2000, 0, 0}}
                               << "'2000-01-01'";
    QTest::newRow("date last") << t(Type::Date) << Value{DateTimeValue{3652058, 0, 0}}
                               << "'9999-12-31'";
    QTest::newRow("time(3)") << t(Type::Time, 0, 0, 3)
                             << Value{DateTimeValue{0, 372300120000, 0}} << "'10:20:30.012'";
    QTest::newRow("time(0)") << t(Type::Time, 0, 0, 0) << Value{DateTimeValue{0, 10000000, 0}}
                             << "'00:00:01'";
    QTest::newRow("datetime2(7) one tick")
        << t(Type::DateTime2, 0, 0, 7) << Value{DateTimeValue{kDay2000, 1, 0}}
        << "'2000-01-01 00:00:00.0000001'";
    QTest::newRow("datetimeoffset shown in its own time")
        << t(Type::DateTimeOffset, 0, 0, 0) << Value{DateTimeValue{kDay2000, 0, -300}}
        << "'1999-12-31 19:00:00 -05:00'";
    QTest::newRow("datetimeoffset east")
        << t(Type::DateTimeOffset, 0, 0, 3) << Value{DateTimeValue{kDay2000, 864000000000 - 1, 330}}
        << "'2000-01-02 05:29:59.999 +05:30'";
    QTest::newRow("datetime 1/300 s rounds to .003")
        << t(Type::DateTime) << Value{DateTimeValue{0, 1, 0}} << "'1900-01-01 00:00:00.003'";
    QTest::newRow("datetime 2/300 s rounds to .007")
        << t(Type::DateTime) << Value{DateTimeValue{0, 2, 0}} << "'1900-01-01 00:00:00.007'";
    QTest::newRow("datetime last tick of the day")
        << t(Type::DateTime) << Value{DateTimeValue{0, 25919999, 0}} << "'1900-01-01 23:59:59.997'";
    QTest::newRow("datetime before 1900") << t(Type::DateTime) << Value{DateTimeValue{-53690, 0, 0}}
                                          << "'1753-01-01 00:00:00.000'";
    QTest::newRow("smalldatetime") << t(Type::SmallDateTime) << Value{DateTimeValue{1, 61, 0}}
                                   << "'1900-01-02 01:01:00'";
}

void TdsWirePartsTest::logLiterals() {
    QFETCH(ColumnType, type);
    QFETCH(Value, value);
    QFETCH(QString, expected);
    QCOMPARE(literal(type, value), expected);
}

void TdsWirePartsTest::login7() {
    const QString user = QStringLiteral("sa");
    const QString password = QString::fromUtf8("P\u00e4ss;w\u20acrd\U0001F600");
    const QString database = QStringLiteral("Sales DB");
    // Fixed part (94 bytes), then the variable fields in their order.
    Bytes fixed;
    fixed.u32(0).u32(0x74000004).u32(4096).u32(7).u32(1234).u32(0).u8(0xE0).u8(0x03).u8(0).u8(0)
        .u32(0).u32(0x409);
    std::size_t offset = 94;
    Bytes data;
    auto field = [&](const QString& value, bool obfuscate) {
        fixed.u16(static_cast<unsigned>(offset)).u16(static_cast<unsigned>(value.size()));
        for (const QChar c : value) {
            const unsigned unit = c.unicode();
            for (const unsigned byte : {unit & 0xFFu, unit >> 8u}) {
                // The client swaps the nibbles of each byte, then XORs it with 0xA5.
                const unsigned swapped = ((byte & 0x0F) << 4) | (byte >> 4);
                data.u8(obfuscate ? (swapped ^ 0xA5) : byte);
            }
        }
        offset += static_cast<std::size_t>(value.size()) * 2;
    };
    field(QStringLiteral("host"), false);
    field(user, false);
    field(password, true);
    field(QString(), false);                // app name
    field(QStringLiteral("127.0.0.1"), false); // server name
    field(QString(), false);                // extension
    field(QStringLiteral("ODBC"), false);   // interface library
    field(QStringLiteral("us_english"), false);
    field(database, false);
    for (int i = 0; i < 6; ++i) // client id
        fixed.u8(0);
    fixed.u16(0).u16(0).u16(0).u16(0).u16(0).u16(0).u32(0); // SSPI, attach file, change pw
    QCOMPARE(fixed.b.size(), std::size_t{94});
    std::vector<std::uint8_t> message = fixed.b;
    message.insert(message.end(), data.b.begin(), data.b.end());

    const auto login = tds::wire::Login7::parse(message);
    QVERIFY(login.has_value());
    QCOMPARE(login->tdsVersion, 0x74000004u);
    QCOMPARE(login->packetSize, 4096u);
    QCOMPARE(QString::fromStdU16String(login->userName), user);
    QCOMPARE(QString::fromStdU16String(login->password), password);
    QCOMPARE(QString::fromStdU16String(login->database), database);
    QCOMPARE(QString::fromStdU16String(login->language), QStringLiteral("us_english"));

    // A field pointing past the end of the message makes the whole login unreadable.
    message.resize(message.size() - 2);
    QVERIFY(!tds::wire::Login7::parse(message).has_value());
}

void TdsWirePartsTest::rpcParameters_data() {
    QTest::addColumn<QByteArray>("typeAndValue");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("logged");

    auto bytes = [](const Bytes& b) {
        return QByteArray(reinterpret_cast<const char*>(b.b.data()), static_cast<qsizetype>(b.b.size()));
    };
    QTest::newRow("INTN 4") << bytes(Bytes().u8(0x26).u8(4).u8(4).u32(0xFFFFFFFF))
                            << int(Type::Int) << "-1";
    QTest::newRow("INTN 8") << bytes(Bytes().u8(0x26).u8(8).u8(8).u64(0x8000000000000000ull))
                            << int(Type::BigInt) << "-9223372036854775808";
    QTest::newRow("INTN NULL keeps its width") << bytes(Bytes().u8(0x26).u8(2).u8(0))
                                               << int(Type::SmallInt) << "NULL";
    QTest::newRow("INT8 fixed") << bytes(Bytes().u8(0x7F).u64(42)) << int(Type::BigInt) << "42";
    QTest::newRow("BITN") << bytes(Bytes().u8(0x68).u8(1).u8(1).u8(1)) << int(Type::Bit) << "1";
    QTest::newRow("FLTN 8") << bytes(Bytes().u8(0x6D).u8(8).u8(8).u64(0x3FB999999999999Aull))
                            << int(Type::Float) << "0.1";
    QTest::newRow("FLTN 4") << bytes(Bytes().u8(0x6D).u8(4).u8(4).u32(0x3DCCCCCD))
                            << int(Type::Real) << "0.1";
    QTest::newRow("MONEYN 8 high half first")
        << bytes(Bytes().u8(0x6E).u8(8).u8(8).u32(0).u32(12345)) << int(Type::Money) << "1.2345";
    QTest::newRow("DECIMALN negative")
        << bytes(Bytes().u8(0x6A).u8(17).u8(38).u8(10).u8(17).u8(0).u64(1).u64(0))
        << int(Type::Decimal) << "-0.0000000001";
    QTest::newRow("NUMERICN 5 bytes") << bytes(Bytes().u8(0x6C).u8(5).u8(9).u8(2).u8(5).u8(1).u32(12345))
                                      << int(Type::Numeric) << "123.45";
    QTest::newRow("NVARCHAR") << bytes(Bytes().u8(0xE7).u16(40).collation().u16(4).utf16(QString::fromUtf8("\u00e9'")))
                              << int(Type::NVarChar) << QString::fromUtf8("N'\u00e9'''");
    QTest::newRow("NVARCHAR NULL") << bytes(Bytes().u8(0xE7).u16(40).collation().u16(0xFFFF))
                                   << int(Type::NVarChar) << "NULL";
    QTest::newRow("NVARCHAR(max) in PLP chunks")
        << bytes(Bytes().u8(0xE7).u16(0xFFFF).collation().u64(6).u32(2).utf16("a").u32(4)
                     .utf16("bc").u32(0))
        << int(Type::NVarChar) << "N'abc'";
    QTest::newRow("NVARCHAR(max) NULL")
        << bytes(Bytes().u8(0xE7).u16(0xFFFF).collation().u64(~0ull)) << int(Type::NVarChar)
        << "NULL";
    QTest::newRow("BIGVARCHAR") << bytes(Bytes().u8(0xA7).u16(10).collation().u16(2).u8('h').u8(0xE9))
                                << int(Type::VarChar) << QString::fromUtf8("'h\u00e9'");
    QTest::newRow("BIGVARBINARY with zero bytes")
        << bytes(Bytes().u8(0xA5).u16(10).u16(3).u8(0).u8(0xAB).u8(0)) << int(Type::VarBinary)
        << "0x00AB00";
    QTest::newRow("BIGVARBINARY(max) empty")
        << bytes(Bytes().u8(0xA5).u16(0xFFFF).u64(0).u32(0)) << int(Type::VarBinary) << "0x";
    QTest::newRow("DATETIMEN 8") << bytes(Bytes().u8(0x6F).u8(8).u8(8).u32(1).u32(300))
                                 << int(Type::DateTime) << "'1900-01-02 00:00:01.000'";
    QTest::newRow("DATETIMEN 4") << bytes(Bytes().u8(0x6F).u8(4).u8(4).u16(1).u16(61))
                                 << int(Type::SmallDateTime) << "'1900-01-02 01:01:00'";
    QTest::newRow("DATEN") << bytes(Bytes().u8(0x28).u8(3).u8(0x07).u8(0x24).u8(0x0B))
                           << int(Type::Date) << "'2000-01-01'";
    QTest::newRow("TIMEN(7)") << bytes(Bytes().u8(0x29).u8(7).u8(5).u32(0x2A69BFFF).u8(0xC9))
                              << int(Type::Time) << "'23:59:59.9999999'";
    QTest::newRow("DATETIME2N(3)")
        << bytes(Bytes().u8(0x2A).u8(3).u8(7).u32(1).u8(0x07).u8(0x24).u8(0x0B)) << int(Type::DateTime2)
        << "'2000-01-01 00:00:00.001'";
    QTest::newRow("DATETIMEOFFSETN(0)")
        << bytes(Bytes().u8(0x2B).u8(0).u8(8).u8(0).u8(0).u8(0).u8(0x07).u8(0x24).u8(0x0B).u16(60))
        << int(Type::DateTimeOffset) << "'2000-01-01 01:00:00 +01:00'";
    QTest::newRow("GUID") << bytes(Bytes().u8(0x24).u8(16).u8(16).raw(QByteArray::fromHex("33221100554477668899AABBCCDDEEFF")))
                          << int(Type::UniqueIdentifier) << "'00112233-4455-6677-8899-AABBCCDDEEFF'";
    QTest::newRow("NTEXT") << bytes(Bytes().u8(0x63).u32(0x7FFFFFFE).collation().u32(2).utf16("z"))
                           << int(Type::NText) << "N'z'";
    QTest::newRow("IMAGE") << bytes(Bytes().u8(0x22).u32(0x7FFFFFFF).u32(1).u8(0xFF))
                           << int(Type::Image) << "0xFF";
    QTest::newRow("XML") << bytes(Bytes().u8(0xF1).u8(0).u64(8).u32(8).utf16("<a/>").u32(0))
                         << int(Type::Xml) << "N'<a/>'";
}

void TdsWirePartsTest::rpcParameters() {
    QFETCH(QByteArray, typeAndValue);
    QFETCH(int, type);
    QFETCH(QString, logged);

    // ALL_HEADERS (a transaction descriptor), sp_x with @p and a second parameter after it, so
    // a value read with the wrong length shows in its neighbour.
    Bytes message;
    message.u32(22).u32(18).u16(2).u64(0).u32(1);
    message.u16(4).utf16("sp_x").u16(0);
    message.u8(2).utf16("@p").u8(0).raw(typeAndValue);
    message.u8(2).utf16("@q").u8(0).u8(0x26).u8(4).u8(4).u32(77);

    std::string error;
    tds::wire::RpcReader reader(message.b, true);
    const std::vector<tds::wire::RpcRequest> calls = reader.read(error);
    QVERIFY2(error.empty(), error.c_str());
    QCOMPARE(calls.size(), std::size_t{1});
    QCOMPARE(QString::fromStdU16String(calls[0].name), QStringLiteral("sp_x"));
    QCOMPARE(calls[0].params.size(), std::size_t{2});
    const tds::RpcParam& p = calls[0].params[0];
    QCOMPARE(QString::fromStdU16String(p.name), QStringLiteral("@p"));
    QCOMPARE(int(p.type.type), type);
    QCOMPARE(literal(p.type, p.value), logged);
    QCOMPARE(literal(calls[0].params[1].type, calls[0].params[1].value), QStringLiteral("77"));
}

void TdsWirePartsTest::rpcByIdAndMalformed() {
    // sp_prepexec by id: @handle OUTPUT (NULL int), then a parameter cut short.
    Bytes message;
    message.u16(0xFFFF).u16(13).u16(0);
    message.u8(0).u8(1).u8(0x26).u8(4).u8(0);
    std::string error;
    {
        tds::wire::RpcReader reader(message.b, false);
        const auto calls = reader.read(error);
        QVERIFY2(error.empty(), error.c_str());
        QCOMPARE(calls.size(), std::size_t{1});
        QCOMPARE(calls[0].procId, std::uint16_t{13});
        QVERIFY(calls[0].name.empty());
        QVERIFY(calls[0].params[0].output);
        QCOMPARE(int(calls[0].params[0].type.type), int(Type::Int));
    }
    message.u8(0).u8(0).u8(0xE7).u16(40).collation().u16(10).utf16("ab");
    tds::wire::RpcReader reader(message.b, false);
    QVERIFY(reader.read(error).empty());
    QVERIFY(!error.empty());

    // An unknown type is refused with its number, not guessed at.
    Bytes unknown;
    unknown.u16(0xFFFF).u16(10).u16(0).u8(0).u8(0).u8(0x62);
    tds::wire::RpcReader variant(unknown.b, false);
    error.clear();
    QVERIFY(variant.read(error).empty());
    QVERIFY2(QString::fromStdString(error).contains(QStringLiteral("0x62")), error.c_str());
}

QTEST_GUILESS_MAIN(TdsWirePartsTest)
#include "tst_tds_wireparts.moc"
