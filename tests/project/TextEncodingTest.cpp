#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include "FileError.h"
#include "FileSizeLimit.h"
#include "ProjectFiles.h"
#include "TestSupport.h"

namespace {

// Every byte value except the two line-break bytes, which loading rewrites.
QByteArray AllBytesButBreaks() {
    QByteArray bytes;
    for (int b = 0; b < 256; ++b) {
        if (b != '\r' && b != '\n') bytes.append(char(b));
    }
    return bytes;
}

}  // namespace

TEST(DecodeText, EveryKindOfLineBreakBecomesCrLf) {
    const TLoadedText loaded = DecodeText(QByteArray("a\rb\nc\r\nd\n\re"));
    EXPECT_EQ(loaded.text, QStringLiteral("a\r\nb\r\nc\r\nd\r\n\r\ne"));
    EXPECT_EQ(loaded.encoding, TTextEncoding::Utf8);
}

TEST(DecodeText, TrailingBreakIsKeptAndEmptyTextStaysEmpty) {
    EXPECT_EQ(DecodeText(QByteArray("one\n")).text, QStringLiteral("one\r\n"));
    EXPECT_EQ(DecodeText(QByteArray()).text, QString());
    EXPECT_EQ(DecodeText(QByteArray("\r")).text, QStringLiteral("\r\n"));
}

TEST(DecodeText, ValidUtf8IsReadAsUtf8) {
    const QByteArray bytes = QStringLiteral("Привет, мир\nzweite Zeile ü").toUtf8();
    const TLoadedText loaded = DecodeText(bytes);
    EXPECT_EQ(loaded.encoding, TTextEncoding::Utf8);
    EXPECT_EQ(loaded.text, QStringLiteral("Привет, мир\r\nzweite Zeile ü"));
}

TEST(DecodeText, OtherBytesAreReadAsWindows1251) {
    // "Привет" in Windows-1251.
    const TLoadedText loaded = DecodeText(QByteArray("\xCF\xF0\xE8\xE2\xE5\xF2"));
    EXPECT_EQ(loaded.encoding, TTextEncoding::Windows1251);
    EXPECT_EQ(loaded.text, QStringLiteral("Привет"));
}

TEST(DecodeText, UpperHalfOfWindows1251MapsToItsCharacters) {
    const TLoadedText loaded = DecodeText(QByteArray("\x80\x88\x98\xA0\xA8\xB8\xB9\xC0\xFF"));
    ASSERT_EQ(loaded.encoding, TTextEncoding::Windows1251);
    const QString expected = QString(QChar(0x0402)) + QChar(0x20AC) + QChar(0x0098) + QChar(0x00A0) +
                             QChar(0x0401) + QChar(0x0451) + QChar(0x2116) + QChar(0x0410) + QChar(0x044F);
    EXPECT_EQ(loaded.text, expected);
}

TEST(DecodeText, EveryByteRoundTripsThroughWindows1251) {
    const QByteArray bytes = AllBytesButBreaks();
    const TLoadedText loaded = DecodeText(bytes);
    ASSERT_EQ(loaded.encoding, TTextEncoding::Windows1251);
    EXPECT_EQ(loaded.text.size(), bytes.size());
    EXPECT_EQ(EncodeText(loaded.text, loaded.encoding), bytes);
    EXPECT_TRUE(CanEncodeWindows1251(loaded.text));
}

TEST(DecodeText, MalformedUtf8FallsBackAndRoundTrips) {
    const QByteArray samples[] = {
        QByteArray("\xC0\xAF"),          // overlong '/'
        QByteArray("\xED\xA0\x80"),      // an encoded surrogate
        QByteArray("ok \xE2\x82"),       // cut short at the end
        QByteArray("\xF4\x90\x80\x80"),  // beyond U+10FFFF
        QByteArray("\xFF\xFE"),
    };
    for (const QByteArray& bytes : samples) {
        const TLoadedText loaded = DecodeText(bytes);
        EXPECT_EQ(loaded.encoding, TTextEncoding::Windows1251) << bytes.toHex().toStdString();
        EXPECT_EQ(EncodeText(loaded.text, loaded.encoding), bytes) << bytes.toHex().toStdString();
    }
}

TEST(DecodeText, ByteOrderMarkIsKeptAsACharacter) {
    const QByteArray bytes("\xEF\xBB\xBFline");
    const TLoadedText loaded = DecodeText(bytes);
    EXPECT_EQ(loaded.encoding, TTextEncoding::Utf8);
    EXPECT_EQ(loaded.text.size(), 5);
    EXPECT_EQ(EncodeText(loaded.text, loaded.encoding), bytes);
}

TEST(DecodeText, Utf8WithEditorBlockSeparatorsIsKeptAsBytes) {
    // U+2029 would split a line in the editor, so the text could not be saved back as it came.
    const QByteArray bytes("a\xE2\x80\xA9z");
    const TLoadedText loaded = DecodeText(bytes);
    EXPECT_EQ(loaded.encoding, TTextEncoding::Windows1251);
    EXPECT_EQ(EncodeText(loaded.text, loaded.encoding), bytes);
}

TEST(EncodingFor, KeepsWindows1251WhileEveryCharacterFits) {
    EXPECT_EQ(EncodingFor(QStringLiteral("Ёжик № 5 — «да»"), TTextEncoding::Windows1251),
              TTextEncoding::Windows1251);
    EXPECT_EQ(EncodingFor(QStringLiteral("Ёжик 中"), TTextEncoding::Windows1251), TTextEncoding::Utf8);
    EXPECT_EQ(EncodingFor(QStringLiteral("plain"), TTextEncoding::Utf8), TTextEncoding::Utf8);
    EXPECT_EQ(EncodeWindows1251(QStringLiteral("a中")), QByteArray("a?"));
}

class TextFileTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    QString Path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
};

TEST_F(TextFileTest, LoadAndSaveGiveTheSameBytesExceptLineBreaks) {
    QByteArray original = AllBytesButBreaks();
    original.insert(10, "\n");
    original.insert(40, "\r");
    original.append("\r\n");
    QByteArray expected = AllBytesButBreaks();
    expected.insert(10, "\r\n");
    expected.insert(41, "\r\n");
    expected.append("\r\n");
    WriteAll(Path("a.txt"), original);
    const TLoadedText loaded = LoadTextFile(Path("a.txt"));
    SaveTextFile(Path("b.txt"), loaded.text, loaded.encoding);
    EXPECT_EQ(ReadAll(Path("b.txt")), expected);
}

TEST_F(TextFileTest, LoadingAMissingFileOrAFolderFailsWithItsName) {
    const QString missing = Path("missing.txt");
    try {
        LoadTextFile(missing);
        FAIL() << "no error";
    } catch (const EFileError& e) {
        EXPECT_EQ(QString::fromUtf8(e.what()), QStringLiteral("Cannot open file ") + missing);
    }
    EXPECT_THROW(LoadTextFile(dir.path()), EFileError);
    EXPECT_THROW(LoadTextFile(QString()), EFileError);
}

TEST_F(TextFileTest, SavingWhereNoFileCanBeCreatedFailsWithItsName) {
    WriteAll(Path("plain"), "not a folder");
    const QString target = Path("plain/x.txt");
    try {
        SaveTextFile(target, QStringLiteral("x"), TTextEncoding::Utf8);
        FAIL() << "no error";
    } catch (const EFileError& e) {
        EXPECT_EQ(QString::fromUtf8(e.what()), QStringLiteral("Cannot create file ") + target);
    }
    try {
        SaveTextFile(QString(), QStringLiteral("x"), TTextEncoding::Utf8);
        FAIL() << "no error";
    } catch (const EFileError& e) {
        EXPECT_EQ(QString::fromUtf8(e.what()), QStringLiteral("Cannot create file "));
    }
}

TEST_F(TextFileTest, SavingOverAFolderFailsAndLeavesIt) {
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("t.txt")));
    EXPECT_THROW(SaveTextFile(Path("t.txt"), QStringLiteral("x"), TTextEncoding::Utf8), EFileError);
    EXPECT_TRUE(QFileInfo(Path("t.txt")).isDir());
}

TEST_F(TextFileTest, SavingReplacesTheWholeFile) {
    WriteAll(Path("t.txt"), QByteArray(1000, 'x'));
    SaveTextFile(Path("t.txt"), QStringLiteral("Ёж\r\n"), TTextEncoding::Windows1251);
    EXPECT_EQ(ReadAll(Path("t.txt")), QByteArray("\xA8\xE6\r\n"));
}

TEST_F(TextFileTest, SaveThatRunsOutOfRoomLeavesThePreviousFile) {
    const QByteArray old("the previous text\r\n");
    WriteAll(Path("t.txt"), old);
    const QString bigger(20000, QLatin1Char('y'));
    bool failed = false;
    {
        TFileSizeLimit limit(4096);
        try {
            SaveTextFile(Path("t.txt"), bigger, TTextEncoding::Utf8);
        } catch (const EFileError&) {
            failed = true;
        }
    }
    EXPECT_TRUE(failed);
    EXPECT_EQ(ReadAll(Path("t.txt")), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("t.txt")});
}
