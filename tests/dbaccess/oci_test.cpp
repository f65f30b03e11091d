// The Oracle driver, loaded by name through the system loader, against the
// stand-in client that the tests build (LD_LIBRARY_PATH points at it).

#include <dlfcn.h>
#include <gtest/gtest.h>

#include "cursorcontract.h"
#include "dbaccess/oracleconnect.h"
#include "dbaccess/oraclesource.h"

using namespace dbaccess;
using Kind = TOracleValue::Kind;

ContractSetup contractSetup() {
    ContractSetup s;
    s.service = QStringLiteral("stubhost/STUB");
    s.user = QStringLiteral("scott");
    s.password = QStringLiteral("tiger");
    s.tables = {QStringLiteral("ALL_TYPES"),   QStringLiteral("EMPTY_ARCHIVE"),
                QStringLiteral("LOB_SAMPLES"), QStringLiteral("LONG_RAW_DATA"),
                QStringLiteral("LONG_TEXT"),   QStringLiteral("MANY_ROWS")};
    s.rowsTable = QStringLiteral("LOB_SAMPLES");
    s.idColumn = QStringLiteral("B_ID");
    s.textColumn = QStringLiteral("B_KIND");
    s.blobColumn = QStringLiteral("B_DATA");
    s.firstBlob = QByteArray("\x00\x01\xFE\xFF", 4);
    s.emptyTable = QStringLiteral("EMPTY_ARCHIVE");
    return s;
}

namespace {

struct StubCounts {
    int live = 0;
    int fetches = 0;
    int lobReads = 0;
    int lobRoundTrips = 0;
};

StubCounts stubCounts() {
    void* library = dlopen("libclntsh.so", RTLD_NOW | RTLD_NOLOAD);
    EXPECT_NE(library, nullptr) << "the driver did not load the stand-in client";
    StubCounts counts;
    if (!library) return counts;
    using Fn = void (*)(int*, int*, int*, int*);
    auto fn = reinterpret_cast<Fn>(dlsym(library, "ferrovane_stub_counts"));
    EXPECT_NE(fn, nullptr) << "the loaded libclntsh.so is not the stand-in";
    if (fn) fn(&counts.live, &counts.fetches, &counts.lobReads, &counts.lobRoundTrips);
    dlclose(library);
    return counts;
}

QByteArray binaryBytes(int size) {
    QByteArray out(size, '\0');
    for (int i = 0; i < size; ++i) out[i] = char((i * 131 + 7) % 256);
    return out;
}

class OciDriver : public ::testing::Test {
protected:
    void SetUp() override {
        const ContractSetup s = contractSetup();
        openOracleConnection(source, s.service, s.user, s.password);
    }

    TOracleCursor& run(const QString& sql) {
        TOracleCursor& cursor = source.oracledata;
        cursor.close();
        cursor.setQuery(sql);
        cursor.open();
        cursor.first();
        return cursor;
    }

    QString openFailure(const QString& sql) {
        source.oracledata.close();
        source.oracledata.setQuery(sql);
        try {
            source.oracledata.open();
        } catch (const TOracleError& e) {
            EXPECT_FALSE(source.oracledata.isOpen());
            return e.message();
        }
        ADD_FAILURE() << "opened " << sql.toStdString();
        return QString();
    }

    TOracleSource source;
};

QString valueFailure(const TOracleCursor& cursor, const char* column) {
    try {
        cursor.valueByName(QString::fromLatin1(column));
    } catch (const TOracleError& e) {
        return e.message();
    }
    ADD_FAILURE() << column << " was read";
    return QString();
}

QString logonFailure(const QString& service, const QString& user, const QString& password) {
    TOracleSource source;
    try {
        openOracleConnection(source, service, user, password);
    } catch (const TOracleError& e) {
        EXPECT_FALSE(source.oracleconn.isOpen());
        return e.message();
    }
    ADD_FAILURE() << "logged on";
    return QString();
}

}  // namespace

TEST(OciLogon, FailuresCarryOraclesOwnMessage) {
    EXPECT_EQ(logonFailure(QStringLiteral("stubhost/STUB"), QStringLiteral("scott"),
                           QStringLiteral("wrong")),
              QStringLiteral("ORA-01017: invalid username/password; logon denied"));
    EXPECT_EQ(
        logonFailure(QStringLiteral("nowhere"), QStringLiteral("scott"), QStringLiteral("tiger")),
        QStringLiteral("ORA-12154: TNS:could not resolve the connect identifier specified"));
    EXPECT_EQ(stubCounts().live, 0);
}

TEST_F(OciDriver, EveryColumnTypeArrivesAsTheRightKindOfValue) {
    TOracleCursor& c = run(QStringLiteral("select * from ALL_TYPES"));
    auto v = [&](const char* name) { return c.valueByName(QString::fromLatin1(name)); };

    EXPECT_EQ(v("N_INT").kind(), Kind::Integer);
    EXPECT_EQ(v("N_INT").integerValue(), 42);
    EXPECT_EQ(v("N_FRACTION"), TOracleValue::real(123.45));
    EXPECT_EQ(v("N_FRACTION").kind(), Kind::Double);
    EXPECT_EQ(v("N_NEGATIVE"), TOracleValue::real(-123.45));
    EXPECT_EQ(v("N_BEYOND_INT64").kind(), Kind::Decimal);
    EXPECT_EQ(v("N_BEYOND_INT64").toText(), QStringLiteral("9223372036854775808"));
    EXPECT_EQ(v("N_EXACT").toText(), QStringLiteral("12345678901234567890.123456789"));
    EXPECT_EQ(v("N_FLOAT").doubleValue(), 0.1);
    EXPECT_EQ(v("N_ZERO"), TOracleValue::integer(0));
    EXPECT_EQ(v("N_BFLOAT").doubleValue(), 1.1);  // the float's own digits, not 1.10000002
    EXPECT_EQ(v("N_BDOUBLE").doubleValue(), 2.5);

    EXPECT_EQ(v("C_VARCHAR2").textValue(), QStringLiteral("héllo 世界"));
    // National columns keep what a Latin-1 database character set lacks.
    EXPECT_EQ(v("C_NVARCHAR2").textValue(), QStringLiteral("ñandú 中文"));
    EXPECT_EQ(v("C_CHAR").textValue(), QStringLiteral("ab    "));
    EXPECT_EQ(v("C_NCHAR").textValue(), QStringLiteral("Größe Ω "));

    EXPECT_EQ(v("D_DATE").dateTimeValue().toText(), QStringLiteral("2024-02-29 13:45:07"));
    EXPECT_EQ(v("D_TS").dateTimeValue().toText(), QStringLiteral("2024-01-31 23:59:59.123456789"));
    EXPECT_EQ(v("D_TSTZ").dateTimeValue().toText(), QStringLiteral("2024-01-31 23:59:59.5-05:30"));
    EXPECT_FALSE(v("D_TSLTZ").dateTimeValue().hasOffset);
    EXPECT_EQ(v("D_TSLTZ").dateTimeValue().nanosecond, 1000);
    EXPECT_EQ(v("I_YM").textValue(), QStringLiteral("+02-06"));
    EXPECT_EQ(v("I_DS").textValue(), QStringLiteral("+01 02:03:04.500000"));
    EXPECT_EQ(v("R_ROWID").textValue(), QStringLiteral("AAAR3sAAEAAAACXAAA"));
    EXPECT_EQ(v("R_RAW").bytesValue(), QByteArray("\xDE\xAD\xBE\xEF"));

    // Large objects come whole, over several reads, and only BLOB passes the BLOB test.
    const int readsBefore = stubCounts().lobReads;
    const QString clob = v("L_CLOB").textValue();
    EXPECT_EQ(clob.size(), 300003);
    EXPECT_TRUE(clob.startsWith(QStringLiteral("é𝄞é𝄞")));
    EXPECT_TRUE(clob.endsWith(QStringLiteral("é𝄞END")));
    EXPECT_EQ(clob.count(QStringLiteral("𝄞")), 100000);
    EXPECT_EQ(v("L_NCLOB").textValue(), QStringLiteral("NCLOB ü ∑ 中"));
    EXPECT_EQ(c.blobContent(QStringLiteral("L_BLOB")), binaryBytes(600000));
    EXPECT_TRUE(c.isBlob(QStringLiteral("L_BLOB")));
    EXPECT_FALSE(c.isBlob(QStringLiteral("L_CLOB")));
    EXPECT_FALSE(c.isBlob(QStringLiteral("R_RAW")));
    EXPECT_EQ(stubCounts().lobReads, readsBefore);  // read once, at fetch time

    c.next();
    ASSERT_FALSE(c.atEnd());
    for (int i = 0; i < c.columnCount(); ++i)
        EXPECT_TRUE(c.value(i).isNull()) << c.columnName(i).toStdString();
    EXPECT_TRUE(c.blobContent(QStringLiteral("L_BLOB")).isEmpty());
    c.next();
    EXPECT_TRUE(c.atEnd());
}

TEST_F(OciDriver, LobsStreamInPiecesAndSmallOnesComeWithTheRow) {
    StubCounts before = stubCounts();
    run(QStringLiteral("select * from ALL_TYPES"));
    // 600,000 bytes and 600,003 bytes of UTF-8: several pieces each.
    EXPECT_GE(stubCounts().lobReads - before.lobReads, 3 + 3);
    EXPECT_GT(stubCounts().lobRoundTrips, before.lobRoundTrips);

    before = stubCounts();
    TOracleCursor& small = run(QStringLiteral("select * from LOB_SAMPLES"));
    int rows = 0;
    for (; !small.atEnd(); small.next()) ++rows;
    EXPECT_EQ(rows, 3);
    EXPECT_EQ(stubCounts().lobRoundTrips, before.lobRoundTrips);
}

TEST_F(OciDriver, LongAndLongRawArriveWhole) {
    TOracleCursor& text = run(QStringLiteral("select * from LONG_TEXT"));
    const QString first = text.valueByName(QStringLiteral("TXT")).textValue();
    EXPECT_EQ(first.size(), 200001);
    EXPECT_TRUE(first.endsWith(QStringLiteral("long Ω")));
    text.next();
    EXPECT_TRUE(text.valueByName(QStringLiteral("TXT")).isNull());
    text.next();
    EXPECT_EQ(text.valueByName(QStringLiteral("TXT")).textValue(), QStringLiteral("short"));
    text.next();
    EXPECT_EQ(text.valueByName(QStringLiteral("TXT")).textValue(),
              QString(65536, QLatin1Char('x')));
    text.next();
    EXPECT_TRUE(text.atEnd());

    TOracleCursor& raw = run(QStringLiteral("select * from LONG_RAW_DATA"));
    EXPECT_EQ(raw.valueByName(QStringLiteral("DATA")).bytesValue(), binaryBytes(150000));
    EXPECT_FALSE(raw.isBlob(QStringLiteral("DATA")));
    raw.next();
    EXPECT_TRUE(raw.valueByName(QStringLiteral("DATA")).isNull());
}

TEST_F(OciDriver, ArrayFetchReturnsEveryRowInOrderAcrossBatches) {
    const int before = stubCounts().fetches;
    TOracleCursor& c = run(QStringLiteral("select * from MANY_ROWS"));
    qint64 expected = 1;
    for (; !c.atEnd(); c.next(), ++expected) {
        ASSERT_EQ(c.valueByName(QStringLiteral("ID")), TOracleValue::integer(expected));
        ASSERT_EQ(c.valueByName(QStringLiteral("NAME")).textValue(),
                  QStringLiteral("row %1").arg(expected));
    }
    EXPECT_EQ(expected - 1, 1234);
    const int fetches = stubCounts().fetches - before;
    EXPECT_GE(fetches, 3);   // several batches...
    EXPECT_LE(fetches, 20);  // ...of many rows each
}

TEST_F(OciDriver, ClosingTheConnectionReleasesEveryHandle) {
    run(QStringLiteral("select * from ALL_TYPES"));
    source.oracledataset.setQuery(QStringLiteral("select * from MANY_ROWS"));
    source.oracledataset.open();
    EXPECT_GT(stubCounts().live, 0);
    source.oracleconn.close();
    EXPECT_EQ(stubCounts().live, 0);
}

TEST_F(OciDriver, ATruncatedValueIsAnErrorNotSilentlyShortText) {
    // In the last, partial batch the fetch ends in OCI_NO_DATA without a warning.
    const QString partial = openFailure(QStringLiteral("select * from OVERSIZED"));
    EXPECT_TRUE(partial.startsWith(QStringLiteral("ORA-01406"))) << partial.toStdString();
    EXPECT_TRUE(partial.contains(QStringLiteral("CODE"))) << partial.toStdString();
    // In a full batch the warning is ORA-24345; the return code names the column.
    const QString full = openFailure(QStringLiteral("select * from TRUNCATED_LATER"));
    EXPECT_TRUE(full.startsWith(QStringLiteral("ORA-01406"))) << full.toStdString();
    EXPECT_TRUE(full.contains(QStringLiteral("CODE"))) << full.toStdString();
}

TEST_F(OciDriver, QuotedNamesReachTablesOracleKnowsOnlyInQuotes) {
    EXPECT_EQ(run(QStringLiteral("select * from \"Mixed Case\"")).valueByName(QStringLiteral("ID")),
              TOracleValue::integer(5));
    EXPECT_EQ(run(QStringLiteral("select * from \"O\"\"Brien\"")).valueByName(QStringLiteral("ID")),
              TOracleValue::integer(6));
    EXPECT_TRUE(openFailure(QStringLiteral("select * from \"mixed case\""))
                    .startsWith(QStringLiteral("ORA-00942")));
}

TEST_F(OciDriver, ExtendedTextWiderThanOneBufferIsReadPiecewise) {
    TOracleCursor& c = run(QStringLiteral("select * from WIDE_TEXT"));
    const QString body = c.valueByName(QStringLiteral("BODY")).textValue();
    EXPECT_EQ(body.size(), 8000 * 3 + 3);
    EXPECT_TRUE(body.startsWith(QStringLiteral("中𝄞中𝄞")));
    EXPECT_TRUE(body.endsWith(QStringLiteral("中𝄞END")));
    const QString national = c.valueByName(QStringLiteral("NBODY")).textValue();
    EXPECT_EQ(national.size(), 9000 * 2 + 3);
    EXPECT_TRUE(national.endsWith(QStringLiteral("Ω中END")));
    c.next();
    EXPECT_TRUE(c.valueByName(QStringLiteral("BODY")).isNull());
    EXPECT_TRUE(c.valueByName(QStringLiteral("NBODY")).isNull());
    c.next();
    EXPECT_EQ(c.valueByName(QStringLiteral("BODY")).textValue(), QStringLiteral("short"));
    EXPECT_EQ(c.valueByName(QStringLiteral("NBODY")).textValue(), QStringLiteral("kurz ∑"));
    c.next();
    EXPECT_TRUE(c.atEnd());
}

TEST_F(OciDriver, ColumnsOfUnreadableTypesFailAloneWhenRead) {
    TOracleCursor& c = run(QStringLiteral("select * from ODD_TYPES"));
    ASSERT_EQ(c.columnCount(), 7);
    EXPECT_EQ(valueFailure(c, "DOC"),
              QStringLiteral("Column DOC has the Oracle type XMLTYPE, which cannot be read."));
    EXPECT_EQ(valueFailure(c, "ADDR"),
              QStringLiteral("Column ADDR has the Oracle type ADDRESS_T, which cannot be read."));
    EXPECT_TRUE(valueFailure(c, "SCAN").contains(QStringLiteral("type BFILE")));
    EXPECT_TRUE(valueFailure(c, "META").contains(QStringLiteral("type JSON")));
    EXPECT_TRUE(valueFailure(c, "EMBEDDING").contains(QStringLiteral("type VECTOR")));
    EXPECT_FALSE(c.isBlob(QStringLiteral("DOC")));
    EXPECT_THROW(c.blobContent(QStringLiteral("DOC")), TOracleError);
    EXPECT_EQ(c.valueByName(QStringLiteral("ID")), TOracleValue::integer(1));
    EXPECT_EQ(c.valueByName(QStringLiteral("NOTE")).textValue(), QStringLiteral("first"));
    c.next();
    EXPECT_EQ(c.valueByName(QStringLiteral("NOTE")).textValue(), QStringLiteral("second"));
    c.next();
    EXPECT_TRUE(c.atEnd());
}
