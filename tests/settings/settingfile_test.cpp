#include "settings/settingfile.h"

#include <gtest/gtest.h>

#include <QStringEncoder>
#include <QTemporaryDir>

#include "testfiles.h"

namespace {

TSettingFile fileOf(const QByteArray& bytes) {
    return TSettingFile(SplitLines(DecodeTextFile(bytes)));
}

QByteArray utf16(const QString& text, QStringConverter::Encoding encoding) {
    return QStringEncoder(encoding).encode(text);
}

}  // namespace

TEST(SettingFileReading, ByteOrderMarksChooseTheEncoding) {
    const QString text = QStringLiteral("oracleu=Jürgen\r\noraclep=密码\r\n");
    const QByteArray le = QByteArray("\xFF\xFE") + utf16(text, QStringConverter::Utf16LE);
    const QByteArray be = QByteArray("\xFE\xFF") + utf16(text, QStringConverter::Utf16BE);
    const QByteArray u8 = QByteArray("\xEF\xBB\xBF") + text.toUtf8();
    for (const QByteArray& bytes : {le, be, u8}) {
        const TSettingFile file = fileOf(bytes);
        EXPECT_EQ(file.lineCount(), 2);
        EXPECT_EQ(file.value(QStringLiteral("oracleu")), QStringLiteral("Jürgen"));
        EXPECT_EQ(file.value(QStringLiteral("oraclep")), QStringLiteral("密码"));
    }
    // Without a mark the locale's encoding reads it (UTF-8 in the test's locale).
    EXPECT_EQ(fileOf(text.toUtf8()).value(QStringLiteral("oracleu")), QStringLiteral("Jürgen"));
}

TEST(SettingFileReading, LinesSplitAtEveryKindOfBreak) {
    EXPECT_EQ(SplitLines(QStringLiteral("a\r\nb\rc\nd")), QStringList({"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines(QStringLiteral("a\r\n")), QStringList({"a"}));
    EXPECT_EQ(SplitLines(QStringLiteral("a\n\r")), QStringList({"a", ""}));  // LF then a lone CR
    EXPECT_EQ(SplitLines(QStringLiteral("\r\n\r\nx")), QStringList({"", "", "x"}));
    EXPECT_EQ(SplitLines(QString()), QStringList());
}

TEST(SettingFileReading, KeysIgnoreCaseAndTheFirstLineWins) {
    const TSettingFile file(QStringList{
        QStringLiteral("no equals sign"),
        QStringLiteral("ORACLEH=first"),
        QStringLiteral("oracleh=second"),
        QStringLiteral("oraclep=a=b= c "),
        QStringLiteral("=nameless"),
        QStringLiteral(" oracleu=blank before the key"),
    });
    EXPECT_EQ(file.value(QStringLiteral("oracleh")), QStringLiteral("first"));
    EXPECT_EQ(file.value(QStringLiteral("oraclep")), QStringLiteral("a=b= c "));
    EXPECT_EQ(file.value(QStringLiteral("oracleu")), QString());
    EXPECT_EQ(file.value(QStringLiteral("no equals sign")), QString());
    EXPECT_EQ(file.value(QString()), QStringLiteral("nameless"));
}

TEST(ApplyingASettingFile, EveryKeyReplacesItsField) {
    TConversionSettings s;
    s.mysqlu = QStringLiteral("stored");
    s.port = QStringLiteral("3306");
    s.nameuppercase = true;
    s.skipindex = true;
    const TSettingFile file(QStringList{
        QStringLiteral("oracleh=sqlite:x.sqlite"),
        QStringLiteral("oracleu=scott"),
        QStringLiteral("oraclep=ti=ger"),
        QStringLiteral("accessmode=5"),
        QStringLiteral("accessfilename=/out/a.mdb"),
        QStringLiteral("accessformat=1"),
        QStringLiteral("processtable=2"),
        QStringLiteral("tabledefonly=1"),
        QStringLiteral("skipindex=true"),
        QStringLiteral("blobtotext=1"),
        QStringLiteral("alltables=1"),
    });
    ApplySettingFile(file, s);
    EXPECT_EQ(s.oracleh, QStringLiteral("sqlite:x.sqlite"));
    EXPECT_EQ(s.oracleu, QStringLiteral("scott"));
    EXPECT_EQ(s.oraclep, QStringLiteral("ti=ger"));
    EXPECT_EQ(s.accessmode, 1);  // beyond the last item: the last
    EXPECT_EQ(s.accessfilename, QStringLiteral("/out/a.mdb"));
    EXPECT_EQ(s.accessformat, 1);
    EXPECT_EQ(s.processtable, 2);
    EXPECT_TRUE(s.tabledefonly);
    EXPECT_FALSE(s.skipindex);  // only "1" is on
    EXPECT_TRUE(s.blobtotext);
    // Keys the shortcut window never writes read as empty.
    EXPECT_EQ(s.mysqlu, QString());
    EXPECT_EQ(s.port, QString());
    EXPECT_FALSE(s.nameuppercase);
}

TEST(ApplyingASettingFile, IndexesThatAreNotWholeNumbersChangeNothing) {
    const QStringList good = {QStringLiteral("oracleu=scott"), QStringLiteral("accessmode=0"),
                              QStringLiteral("accessformat=7"), QStringLiteral("processtable=1")};
    {
        TConversionSettings s;
        ApplySettingFile(TSettingFile(good), s);
        EXPECT_EQ(s.accessformat, kNoItem);  // outside the list: no format
    }
    for (const char* bad : {"processtable=x", "processtable=", "accessformat=1.0", "accessmode= 0",
                            "accessmode=99999999999"}) {
        QStringList lines = good;
        lines.prepend(QString::fromLatin1(bad));
        TConversionSettings s;
        s.oracleu = QStringLiteral("stored");
        const QString key = QString::fromLatin1(bad).section(u'=', 0, 0);
        try {
            ApplySettingFile(TSettingFile(lines), s);
            ADD_FAILURE() << bad;
        } catch (const TSettingFileError& e) {
            EXPECT_EQ(
                e.message(),
                QStringLiteral("The setting \"%1\" is missing or not a whole number.").arg(key));
        }
        EXPECT_EQ(s.oracleu, QStringLiteral("stored")) << bad;
    }
    QStringList missing = good;
    missing.removeAt(3);
    TConversionSettings s;
    EXPECT_THROW(ApplySettingFile(TSettingFile(missing), s), TSettingFileError);
}

TEST(BatchTableChoice, FollowsTheKeyNumbersAndTheLineCount) {
    const QStringList available = {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"),
                                   QStringLiteral("b")};
    auto chosen = [&](const QStringList& lines) {
        return ChooseTables(BatchTableChoice(TSettingFile(lines)), available);
    };
    EXPECT_EQ(chosen({"alltables=1", "tables1=B"}), available);
    EXPECT_EQ(chosen({"alltables=0", "tables1=B", "tables2=A"}), QStringList({"B", "A"}));
    // Exact names only; a name chosen twice counts at its lower number.
    EXPECT_EQ(chosen({"alltables=0", "tables1=c", "tables2=B", "tables3=B", "tables4=b"}),
              QStringList({"B", "b"}));
    EXPECT_EQ(chosen({"alltables=0", "tables0=C"}), QStringList({"C"}));
    // Three lines: only tables0 to tables2 are looked up.
    EXPECT_EQ(chosen({"alltables=0", "x=1", "tables5=A"}), QStringList());
    EXPECT_EQ(chosen({"alltables= 1", "tables1=A"}), QStringList({"A"}));
}

TEST(WrittenSettingFile, BytesAreLocaleTextWithCrLfAndNoMark) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("job.kvtask"));
    writeBytes(path, QByteArray(100, 'x'));  // replaced, not appended to
    WriteTextFile(path, {QStringLiteral("oracleu=Jürgen"), QString(), QStringLiteral("z")},
                  TFileAccess::OwnerOnly);
    EXPECT_EQ(fileBytes(path), QByteArray("oracleu=J\xC3\xBCrgen\r\n\r\nz\r\n"));
#ifndef Q_OS_WIN
    EXPECT_EQ(unixMode(path), 0600u);
#endif
    try {
        WriteTextFile(dir.filePath(QStringLiteral("no/such/folder.log")), {});
        FAIL() << "wrote into a missing folder";
    } catch (const TTextFileError& e) {
        EXPECT_TRUE(
            e.message().startsWith(QStringLiteral("Cannot create file \"%1\". ")
                                       .arg(dir.filePath(QStringLiteral("no/such/folder.log")))));
    }
}

TEST(WrittenSettingFile, ExtensionsAreReplacedOrAppended) {
    EXPECT_EQ(SettingFilePath(QStringLiteral("/srv/jobs/job.sh")),
              QStringLiteral("/srv/jobs/job.kvtask"));
    EXPECT_EQ(LogFilePath(QStringLiteral("/srv/jobs/job.kvtask")),
              QStringLiteral("/srv/jobs/job.log"));
    EXPECT_EQ(LogFilePath(QStringLiteral("/srv/jobs/a.b.lnk")),
              QStringLiteral("/srv/jobs/a.b.log"));
    EXPECT_EQ(LogFilePath(QStringLiteral("/srv/jobs.d/job")),
              QStringLiteral("/srv/jobs.d/job.log"));
    EXPECT_EQ(LogFilePath(QStringLiteral("job")), QStringLiteral("job.log"));
}

TEST(SampleSettingFile, ConvertsEveryTableOfTheSampleSnapshot) {
    const TSettingFile file =
        TSettingFile::load(QStringLiteral(FERROVANE_SOURCE_DIR "/examples/sample.kvtask"));
    TConversionSettings s;
    ApplySettingFile(file, s);
    EXPECT_EQ(s.oracleh, QStringLiteral("sqlite:build/release/examples/sample.sqlite"));
    EXPECT_EQ(s.accessfilename, QStringLiteral("build/demo/sample.mdb"));
    EXPECT_EQ(s.accessformat, 1);
    EXPECT_EQ(s.processtable, 0);
    EXPECT_TRUE(BatchTableChoice(file).addAll);
}
