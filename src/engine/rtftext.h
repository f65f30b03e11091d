#pragma once

// Our reader of rich-text (RTF) documents, standing in for the rich-text
// control that "Convert BLOB to text" loads a BLOB into. It keeps only what a
// reader sees as text:
//   - \par, \line, \sect, \page and \row end a line with "\r\n", as the text of
//     a Windows rich-text control does. Nothing is added at the end, so
//     "{\rtf1 Hello\par}" reads "Hello\r\n": the final mark is that one break.
//   - \cell is a tab; the tab of a row's last cell gives way to the row's break.
//   - Formatting is dropped, and so are the font, colour and list tables, the
//     stylesheet, the document information, headers, footers, footnotes,
//     pictures, objects' data, shapes, field instructions, paragraph-number
//     texts and every ignorable {\* ...} group. A field's result and an
//     object's result stay. Hidden (\v) text stays, as the control's text
//     keeps it too.
//   - \uN is a UTF-16 unit (N < 0 stands for N + 65536) followed by \ucN
//     fallback characters (default 1, per group) that are skipped; surrogate
//     pairs are joined, a lone surrogate becomes U+FFFD.
//   - \'hh and raw 8-bit bytes are read in the code page of the current font
//     when its \fcharset or \cpg names one other than ANSI or default, else in
//     the document's (\ansicpgN; \ansi 1252, \mac, \pc, \pca). Consecutive
//     bytes are decoded together, so double-byte code pages read whole.
//   - \bin N skips N raw bytes.
// A truncated or unbalanced document yields the text read so far; text after
// the outermost group is ignored. Groups are tracked on a heap stack, never by
// recursion, and the work is linear in the input.

#include <QByteArrayView>
#include <QString>
#include <optional>

// The plain text of an RTF document, or nullopt when the bytes are not an RTF
// document (they must start, after optional leading whitespace, with "{\rtf").
std::optional<QString> RtfToPlainText(QByteArrayView bytes);
