// "Convert BLOB to text": the RTF reader and the byte-order-mark reading of
// everything that is not RTF.

#include "engine/blobtext.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>

#include "engine/rtftext.h"

namespace {

QString rtf(const QByteArray& bytes) {
    const auto text = RtfToPlainText(bytes);
    EXPECT_TRUE(text.has_value()) << bytes.left(80).toStdString();
    return text.value_or(QString());
}

QByteArray utf16Le(const QString& s) {
    QByteArray b;
    for (QChar c : s) {
        b.append(static_cast<char>(c.unicode() & 0xFF));
        b.append(static_cast<char>(c.unicode() >> 8));
    }
    return b;
}

const char kWordPad[] =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0\\nouicompat\\deflang1033{\\fonttbl{\\f0\\fnil\\fcharset0 "
    "Calibri;}{\\f1\\fnil\\fcharset2 Symbol;}}\r\n"
    "{\\colortbl ;\\red255\\green0\\blue0;}\r\n"
    "{\\*\\generator Riched20 10.0.19041}\\viewkind4\\uc1 \r\n"
    "\\pard\\sa200\\sl276\\slmult1\\f0\\fs22\\lang9 Dear \\b Sir\\b0 ,\\par\r\n"
    "{\\pntext\\f1\\'B7\\tab}{\\*\\pn\\pnlvlblt\\pnf1\\pnindent0{\\pntxtb\\'B7}}"
    "\\fi-360\\li720 first \\cf1 point\\cf0\\par\r\n"
    "\\pard caf\\'e9 \\'80 5\\line second\\tab line\\par\r\n"
    "}\r\n"
    "trailing bytes after the document";

TEST(RtfToPlainText, WordPadDocumentKeepsOnlyItsText) {
    EXPECT_EQ(rtf(kWordPad),
              QStringLiteral("Dear Sir,\r\nfirst point\r\ncafé € 5\r\nsecond\tline\r\n"));
}

TEST(RtfToPlainText, TablesPicturesObjectsAndHiddenDestinationsAreDropped) {
    const QByteArray doc =
        "{\\rtf1\\ansi{\\fonttbl\\f0\\froman Times;\\f1\\fswiss Arial;}"
        "{\\stylesheet{\\s0 Normal;}{\\s1 heading 1;}}"
        "{\\info{\\title Secret title}{\\author Somebody}}"
        "{\\header Page header\\par}"
        "Before {\\pict\\wmetafile8\\picw100\\pich100 0123456789abcdef\\bin4 }{\\}}after "
        "{\\*\\shppict{\\pict\\pngblip 89504e47}}{\\nonshppict{\\pict\\wmetafile8 0102}}"
        "{\\object\\objemb{\\*\\objclass Paint.Picture}{\\*\\objdata 01050000}"
        "{\\result shown}} "
        "{\\field{\\*\\fldinst HYPERLINK \"http://x\"}{\\fldrslt link}} "
        "{\\*\\unknowndestination invisible}{\\footnote a note}"
        "\\trowd\\cellx1000\\cellx2000 a\\cell b\\cell\\row end}";
    EXPECT_EQ(rtf(doc), QStringLiteral("Before after shown link a\tb\r\nend"));
}

TEST(RtfToPlainText, EscapesAndSpecialCharacters) {
    const struct {
        const char* rtf;
        const char16_t* text;
    } cases[] = {
        {"{\\rtf1 Hello\\par}", u"Hello\r\n"},
        {"{\\rtf1 a\\line b\\par\r\nc}", u"a\r\nb\r\nc"},
        {"{\\rtf1 a\\\r\nb}", u"a\r\nb"},  // a backslash before a line break is \par
        {"{\\rtf1 \\{x\\} \\\\}", u"{x} \\"},
        {"{\\rtf1 a\\tab b\\~c\\-d\\_e}", u"a\tb\u00A0cd-e"},
        {"{\\rtf1 \\emdash\\endash\\lquote\\rquote\\ldblquote\\rdblquote\\bullet}",
         u"\u2014\u2013\u2018\u2019\u201C\u201D\u2022"},
        {"{\\rtf1 {\\b bold}{\\i  italic}\\fs40 big\\ul0}", u"bold italicbig"},
        {"{\\rtf1 x\\unknownword42 y\\v hidden\\v0}", u"xyhidden"},
        {"{\\rtf1 a\\bin3 {}\\b}", u"ab"},  // \bin's bytes are not read as RTF
        {"{\\rtf1 \\pard\\intbl a\\cell\\row}", u"a\r\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(rtf(c.rtf), QString::fromUtf16(c.text)) << c.rtf;
}

TEST(RtfToPlainText, UnicodeEscapesSkipTheirFallbacks) {
    const struct {
        const char* rtf;
        const char16_t* text;
    } cases[] = {
        {"{\\rtf1 caf\\u233?s}", u"cafés"},
        {"{\\rtf1\\uc2 \\u20320\\'c4\\'e3!}", u"你!"},  // two fallback bytes
        {"{\\rtf1\\uc0 \\u20320\\'c4}", u"你Ä"},        // none: the byte is text
        {"{\\rtf1 \\u8220\\'93x\\u8221\\'94}", u"\u201Cx\u201D"},
        {"{\\rtf1 \\u-10179?\\u-8704?}", u"\U0001F600"},  // a surrogate pair
        {"{\\rtf1 \\u-10179?x}", u"\uFFFDx"},             // a lone high surrogate
        {"{\\rtf1 \\u-8704?x}", u"\uFFFDx"},              // a lone low surrogate
        {"{\\rtf1\\uc3 {\\u233 ab}c}", u"éc"},            // a group's end stops the skip
        {"{\\rtf1{\\uc0\\u233}\\u233?}", u"éé"},          // \uc belongs to its group
        {"{\\rtf1 \\u128512?}", u"\U0001F600"},           // a whole code point
    };
    for (const auto& c : cases) EXPECT_EQ(rtf(c.rtf), QString::fromUtf16(c.text)) << c.rtf;
}

TEST(RtfToPlainText, BytesAreReadInTheCodePageOfDocumentOrFont) {
    const struct {
        const char* rtf;
        const char16_t* text;
    } cases[] = {
        {"{\\rtf1 \\'e9\\'80\\'93}", u"é€\u201C"},  // 1252 when nothing is said
        {"{\\rtf1\\ansi\\ansicpg1252 d\\'e9j\\'e0}", u"déjà"},
        {"{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2}", u"Привет"},
        {"{\\rtf1\\ansi\\ansicpg1251 \xcf\xf0\xe8}", u"При"},  // raw bytes too
        {"{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}"
         "{\\f1\\fnil\\fcharset204 Arial CYR;}}\\f0 \\'e9 {\\f1 \\'e9} \\'e9\\f1\\'e9\\plain\\'e9}",
         u"é й éйé"},
        {"{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f3\\cpg1253 Greek;}}\\f3\\'e1}", u"α"},
        // Double-byte: a trail byte may be a plain character.
        {"{\\rtf1\\ansi\\ansicpg932 \\'83e\\'82\\'a0 x}", u"テあ x"},
        {"{\\rtf1\\ansi\\ansicpg936 \\'c4\\'e3\\'ba\\'c3}", u"你好"},
    };
    for (const auto& c : cases) EXPECT_EQ(rtf(c.rtf), QString::fromUtf16(c.text)) << c.rtf;
}

TEST(RtfToPlainText, OnlyRtfDocumentsAreAccepted) {
    EXPECT_EQ(rtf(" \r\n\t{\\rtf1 x}"), QStringLiteral("x"));
    for (const char* notRtf : {"", "plain text", "x{\\rtf1 a}", "{\\rt", "{ \\rtf1 a}"})
        EXPECT_FALSE(RtfToPlainText(QByteArray(notRtf)).has_value()) << notRtf;
    EXPECT_FALSE(RtfToPlainText(QByteArray()).has_value());
}

TEST(RtfToPlainText, TruncatedOrUnbalancedDocumentsGiveTheTextReadSoFar) {
    EXPECT_EQ(rtf("{\\rtf1 Hello\\par Wor"), QStringLiteral("Hello\r\nWor"));
    EXPECT_EQ(rtf("{\\rtf1 a\\'e"), QStringLiteral("a"));
    EXPECT_EQ(rtf("{\\rtf1 a\\"), QStringLiteral("a"));
    EXPECT_EQ(rtf("{\\rtf1 a\\bin999999 xyz"), QStringLiteral("a"));
    EXPECT_EQ(rtf("{\\rtf1 a\\u-10179"), QStringLiteral("a\uFFFD"));
    EXPECT_EQ(rtf("{\\rtf1 a{\\pict 0102"), QStringLiteral("a"));
    EXPECT_EQ(rtf("{\\rtf1 a}}}b{c"), QStringLiteral("a"));
    EXPECT_EQ(rtf("{\\rtf1\\ansi\\ansicpg932 \\'83 x"), QStringLiteral("\uFFFD x"));

    // Every cut of a rich document reads without fault (the sanitizers watch).
    const QByteArray whole(kWordPad);
    for (qsizetype n = 5; n <= whole.size(); ++n)
        EXPECT_TRUE(RtfToPlainText(whole.left(n)).has_value());
}

TEST(RtfToPlainText, EmptyDocumentIsEmptyTextNotNull) {
    const QString text = rtf("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}}");
    EXPECT_TRUE(text.isEmpty());
    EXPECT_FALSE(text.isNull());
}

TEST(RtfToPlainText, DeepNestingNeitherRecursesNorLosesText) {
    const int depth = 1'000'000;
    const QByteArray doc =
        "{\\rtf1 " + QByteArray(depth, '{') + "x\\par" + QByteArray(depth, '}') + "y{\\pict 00}z}";
    EXPECT_EQ(rtf(doc), QStringLiteral("x\r\nyz"));
    EXPECT_EQ(rtf("{\\rtf1 " + QByteArray(depth, '{')), QStringLiteral(""));
}

TEST(BlobToText, RtfGivesItsPlainText) {
    EXPECT_EQ(BlobToText("{\\rtf1\\ansi {\\b Hi}\\par}"), QStringLiteral("Hi\r\n"));
}

TEST(BlobToText, OtherBytesAreReadByTheirByteOrderMark) {
    const QString text = QStringLiteral("Zoë {\\rtf1 €\U0001F600");
    EXPECT_EQ(BlobToText("\xFF\xFE" + utf16Le(text)), text);
    QByteArray be = utf16Le(text);
    for (qsizetype i = 0; i + 1 < be.size(); i += 2) std::swap(be[i], be[i + 1]);
    EXPECT_EQ(BlobToText("\xFE\xFF" + be), text);
    EXPECT_EQ(BlobToText("\xEF\xBB\xBF" + text.toUtf8()), text);
    // Only the first mark is dropped; a second one is text.
    EXPECT_EQ(BlobToText("\xEF\xBB\xBF\xEF\xBB\xBFx"), QStringLiteral("\uFEFFx"));
    // Without a mark: the system's code page, which reads ASCII as itself.
    EXPECT_EQ(BlobToText("plain\r\ntext"), QStringLiteral("plain\r\ntext"));
    // An odd last byte of UTF-16 is shown as unreadable, not dropped.
    EXPECT_EQ(BlobToText(QByteArray("\xFF\xFEx\x00y", 5)), QStringLiteral("x\uFFFD"));
}

TEST(BlobToText, NullEmptyOrMarkOnlyGiveEmptyTextNotNull) {
    for (const QByteArray& b :
         {QByteArray(), QByteArray(""), QByteArray("\xFF\xFE"), QByteArray("\xEF\xBB\xBF")}) {
        const QString text = BlobToText(b);
        EXPECT_TRUE(text.isEmpty()) << b.toHex().toStdString();
        EXPECT_FALSE(text.isNull()) << b.toHex().toStdString();
    }
}

}  // namespace
