// The test server's real (single precision) as SQL Server fills it from text and from float:
// every float of the normal range exactly, the extremes included; a value closer to zero than
// the smallest normal real (1.1754944e-38) is stored as 0 without a word, and one beyond the
// largest is refused as an overflow.

#include <QtTest>

#include "EngineRun.h"

#include <bit>
#include <cfloat>
#include <cstdint>

using namespace enginetest;

class TestEngineRealRange : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void stored_data();
    void stored();
    void refused_data();
    void refused();

private:
    std::unique_ptr<tds::Engine> engine_;
    std::unique_ptr<tds::Session> session_;
};

void TestEngineRealRange::init() {
    engine_ = std::make_unique<tds::Engine>(std::vector<tds::Engine::Account>{{u"sa", u"pw"}},
                                            std::vector<std::u16string>{u"shop"});
    session_ = engine_->login(u"sa", u"pw", u"shop").session;
    QVERIFY(session_);
    batch(*session_, QStringLiteral("CREATE TABLE r (v real)"));
}

void TestEngineRealRange::cleanup() {
    session_.reset();
    engine_.reset();
}

void TestEngineRealRange::stored_data() {
    QTest::addColumn<QString>("literal");
    QTest::addColumn<float>("stored");

    // The texts a float's exact double reads back from.
    QTest::newRow("largest") << "'3.4028234663852886e+38'" << FLT_MAX;
    QTest::newRow("largest negative") << "'-3.4028234663852886e+38'" << -FLT_MAX;
    QTest::newRow("smallest normal") << "'1.1754943508222875e-38'" << FLT_MIN;
    QTest::newRow("smallest normal negative") << "'-1.1754943508222875e-38'" << -FLT_MIN;
    QTest::newRow("a tenth") << "'0.10000000149011612'" << 0.1f;
    QTest::newRow("a third") << "'0.3333333432674408'" << 1 / 3.f;
    QTest::newRow("zero") << "'0'" << 0.0f;
    QTest::newRow("negative zero") << "'-0'" << -0.0f;
    QTest::newRow("float literal") << "3.4028234663852886e+38" << FLT_MAX;
    // Below the normal range: 0, as SQL Server stores it.
    QTest::newRow("smallest subnormal as text") << "'1.401298464324817e-45'" << 0.0f;
    QTest::newRow("largest subnormal as text") << "'1.1754942106924411e-38'" << 0.0f;
    QTest::newRow("below every subnormal as text") << "'1e-50'" << 0.0f;
    QTest::newRow("subnormal float literal") << "4.330473E-39" << 0.0f;
    QTest::newRow("subnormal negative float literal") << "-4.330473E-39" << 0.0f;
}

void TestEngineRealRange::stored() {
    QFETCH(QString, literal);
    QFETCH(float, stored);
    const Ran inserted = batch(*session_, QStringLiteral("INSERT INTO r VALUES(%1)").arg(literal));
    QVERIFY2(inserted.messages.empty(), qPrintable(inserted.firstText()));
    const Ran selected = batch(*session_, QStringLiteral("SELECT v FROM r"));
    QCOMPARE(selected.rows.size(), std::size_t{1});
    QCOMPARE(selected.rows[0].size(), std::size_t{1});
    const auto* d = std::get_if<double>(&selected.rows[0][0][0]);
    QVERIFY(d != nullptr);
    const float got = static_cast<float>(*d);
    QCOMPARE(static_cast<double>(got), *d); // a real holds a float's value
    QCOMPARE(std::bit_cast<std::uint32_t>(got), std::bit_cast<std::uint32_t>(stored));
}

void TestEngineRealRange::refused_data() {
    QTest::addColumn<QString>("literal");
    QTest::newRow("text beyond the largest") << "'1e39'";
    QTest::newRow("negative text beyond the largest") << "'-1e39'";
    QTest::newRow("float literal beyond the largest") << "1e39";
}

void TestEngineRealRange::refused() {
    QFETCH(QString, literal);
    const Ran inserted = batch(*session_, QStringLiteral("INSERT INTO r VALUES(%1)").arg(literal));
    QCOMPARE(inserted.messages.size(), std::size_t{1});
    QVERIFY2(inserted.firstText().startsWith(QStringLiteral("Arithmetic overflow error")),
             qPrintable(inserted.firstText()));
    const Ran selected = batch(*session_, QStringLiteral("SELECT v FROM r"));
    QCOMPARE(selected.rows.size(), std::size_t{1});
    QVERIFY(selected.rows[0].empty());
}

QTEST_GUILESS_MAIN(TestEngineRealRange)
#include "tst_engine_realrange.moc"
