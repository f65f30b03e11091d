#include "engine/blobtext.h"

#include <QStringDecoder>

#include "engine/rtftext.h"

namespace {

// Decodes all of bytes: a byte-order mark inside them is text, and a sequence
// cut short at the end becomes U+FFFD.
QString decodeAll(QStringDecoder::Encoding encoding, QByteArrayView bytes) {
    QStringDecoder d(encoding,
                     QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return d.decode(bytes);
}

}  // namespace

QString BlobToText(const QByteArray& bytes) {
    if (auto text = RtfToPlainText(bytes)) return *std::move(text);
    const QByteArrayView v(bytes);
    QString text;
    if (v.startsWith("\xFF\xFE")) {
        text = decodeAll(QStringDecoder::Utf16LE, v.sliced(2));
    } else if (v.startsWith("\xFE\xFF")) {
        text = decodeAll(QStringDecoder::Utf16BE, v.sliced(2));
    } else if (v.startsWith("\xEF\xBB\xBF")) {
        text = decodeAll(QStringDecoder::Utf8, v.sliced(3));
    } else {
        text = decodeAll(QStringDecoder::System, v);
    }
    if (text.isNull()) text = QStringLiteral("");  // empty text, never Null
    return text;
}
