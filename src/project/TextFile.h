#pragma once
// The project's two text files: their bytes and their text, loading, saving, and the text a text
// editor holds for them.

#include <QByteArray>
#include <QString>

#include "TextEncoding.h"

struct TLoadedText {
    QString text;  // every line break is "\r\n"
    TTextEncoding encoding = TTextEncoding::Utf8;
};

// Bytes to text. A byte-order mark names the encoding (UTF-8, UTF-16 LE or BE; UTF-16 needs an
// even number of bytes, UTF-8 valid UTF-8 behind the mark) and is not part of the text. Without
// one: UTF-8 when the bytes are valid UTF-8, Windows-1251 otherwise. Every CR LF, lone CR and lone
// LF becomes one CR LF. EncodeText of the result gives the bytes back, line breaks aside.
TLoadedText DecodeText(const QByteArray& bytes);
// Text to bytes, with the encoding's byte-order mark in front where it has one.
QByteArray EncodeText(const QString& text, TTextEncoding encoding);

// Why a text cannot simply be saved in the encoding it was read with.
enum class TSaveProblem {
    None,
    MissingCharacter,      // Windows-1251 lacks a character of the text
    ReadsBackDifferently,  // the bytes would be read back as another text (as UTF-8, say)
};

struct TTextSavePlan {
    TTextEncoding encoding = TTextEncoding::Utf8;
    QByteArray bytes;  // what is written; empty when problem is MissingCharacter
    TSaveProblem problem = TSaveProblem::None;
    QString missing;  // MissingCharacter: the first character the code page lacks
};

// The bytes of a text in an encoding, and whether the next load would give this very text. UTF-8
// holds every text; one that begins with U+FEFF is saved with a byte-order mark in front, since
// without one its first character would be taken for the mark.
TTextSavePlan PlanTextSave(const QString& text, TTextEncoding encoding);

// The characters a text editor holds per text: no more than this many UTF-16 units, line breaks
// counted as two. A QPlainTextEdit of this size loads in seconds and edits without delay.
inline constexpr qsizetype MemoCapacity = 16 * 1024 * 1024;

// Throws EFileError "Cannot open file %s" when the file does not exist, is not a regular file or
// cannot be read.
TLoadedText LoadTextFile(const QString& path);
// As LoadTextFile; a text of more than MemoCapacity characters throws EFileError "Text exceeds
// memo capacity", and a file too large to hold so few is refused before it is read.
TLoadedText LoadMemoText(const QString& path);
// Writes the file safely (SaveFileSafely); throws EFileError "Cannot create file %s" and leaves
// any previous file untouched when that fails.
void SaveTextFile(const QString& path, const QByteArray& bytes);
void SaveTextFile(const QString& path, const QString& text, TTextEncoding encoding);

// A text editor splits a line at U+2028 and U+2029 and at U+FDD0 and U+FDD1 (which it uses to
// mark frames), so that a file line would no longer be one row. It holds stand-ins instead: four
// Private Use Area characters from format.standInBase on, chosen so that none of them occurs in
// the text. A text without those characters is held as it is (standInBase 0).
QString ToEditorText(const QString& text, TTextFormat& format);
QString FromEditorText(const QString& editorText, const TTextFormat& format);
