#pragma once

// The "Convert BLOB to text" reading of a BLOB: what the original program got
// by loading the bytes into a rich-text control, first as RTF, then as plain
// text.

#include <QByteArray>
#include <QString>

// The text that "Convert BLOB to text" stores for a BLOB: an RTF document's plain
// text; otherwise the bytes as text: UTF-16 LE after FF FE, UTF-16 BE after FE FF,
// UTF-8 after EF BB BF (the mark itself dropped), the system's ANSI code page
// otherwise (on Linux: the locale's encoding, QStringDecoder::System). Null or
// empty bytes give an empty string.
// The result is never a null QString, so it is stored as text, never as Null.
// Bytes the encoding cannot read (an odd last byte of UTF-16 included) become
// U+FFFD rather than vanish.
QString BlobToText(const QByteArray& bytes);
