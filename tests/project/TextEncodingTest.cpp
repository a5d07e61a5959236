#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
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
        QByteArray("\xFF\x41"),          // a byte no UTF-8 has
    };
    for (const QByteArray& bytes : samples) {
        const TLoadedText loaded = DecodeText(bytes);
        EXPECT_EQ(loaded.encoding, TTextEncoding::Windows1251) << bytes.toHex().toStdString();
        EXPECT_EQ(EncodeText(loaded.text, loaded.encoding), bytes) << bytes.toHex().toStdString();
    }
}

TEST(DecodeText, AByteOrderMarkNamesTheEncodingAndIsWrittenBack) {
    struct TCase {
        QByteArray bytes;  // two lines with a lone line break, as another editor saved them
        QByteArray saved;  // after a load and a save: CR LF in the file's own units
        TTextEncoding encoding;
    };
    const QString text = QStringLiteral("line one\r\nвторая");
    const TCase cases[] = {
        {"\xEF\xBB\xBF" + QStringLiteral("line one\nвторая").toUtf8(), "\xEF\xBB\xBF" + text.toUtf8(),
         TTextEncoding::Utf8Bom},
        {QByteArray("\xFF\xFE", 2) +
             QByteArray::fromHex("6c0069006e00650020006f006e0065000a00320442043e04400430044f04"),
         QByteArray("\xFF\xFE", 2) +
             QByteArray::fromHex("6c0069006e00650020006f006e0065000d000a00320442043e04400430044f04"),
         TTextEncoding::Utf16Le},
        {QByteArray("\xFE\xFF", 2) + QByteArray::fromHex("006c0069006e00650020006f006e0065000d04320440"),
         QByteArray("\xFE\xFF", 2) + QByteArray::fromHex("006c0069006e00650020006f006e0065000d000a04320440"),
         TTextEncoding::Utf16Be},
    };
    for (const TCase& c : cases) {
        const TLoadedText loaded = DecodeText(c.bytes);
        EXPECT_EQ(loaded.encoding, c.encoding) << TextEncodingName(c.encoding);
        EXPECT_EQ(loaded.text,
                  c.encoding == TTextEncoding::Utf16Be ? QStringLiteral("line one\r\nвр") : text);
        EXPECT_EQ(EncodeText(loaded.text, loaded.encoding), c.saved) << TextEncodingName(c.encoding);
    }
    // A mark alone is an empty text that keeps its mark.
    EXPECT_EQ(DecodeText(QByteArray("\xFF\xFE", 2)).text, QString());
    EXPECT_EQ(EncodeText(QString(), TTextEncoding::Utf16Le), QByteArray("\xFF\xFE", 2));
    // An odd number of bytes behind FF FE is no UTF-16, and a mark before bytes that are not
    // UTF-8 is no UTF-8: both are Windows-1251 ("яю", "п»ї") and come back byte for byte.
    for (const QByteArray& bytes : {QByteArray("\xFF\xFE\x41"), QByteArray("\xEF\xBB\xBF\xE0")}) {
        const TLoadedText loaded = DecodeText(bytes);
        EXPECT_EQ(loaded.encoding, TTextEncoding::Windows1251);
        EXPECT_EQ(EncodeText(loaded.text, loaded.encoding), bytes);
    }
}

TEST(DecodeText, Utf8WithSeparatorsAndNoncharactersIsReadAsUtf8) {
    const QByteArray bytes(
        "a\xE2\x80\xA8 b\xE2\x80\xA9 c\xEF\xB7\x90\xEF\xB7\x91\xEF\xBF\xBF\xF0\x9F\xBF\xBEz");
    const TLoadedText loaded = DecodeText(bytes);
    EXPECT_EQ(loaded.encoding, TTextEncoding::Utf8);
    EXPECT_EQ(loaded.text, QString::fromUtf8(bytes));
    EXPECT_EQ(EncodeText(loaded.text, loaded.encoding), bytes);
}

TEST(EditorText, LineBreakingCharactersAreHeldAsStandInsAndComeBack) {
    const QString text = QStringLiteral("a\u2028b\u2029c\uFDD0d\uFDD1e\uE001\r\nnext");
    TTextFormat format{TTextEncoding::Utf8, 0};
    const QString held = ToEditorText(text, format);
    // U+E001 is the text's own, so the stand-ins start at the next block of four.
    EXPECT_EQ(format.standInBase, 0xE004);
    EXPECT_EQ(held, QStringLiteral("a\uE004b\uE005c\uE006d\uE007e\uE001\r\nnext"));
    EXPECT_EQ(FromEditorText(held, format), text);
    // A text without such characters is held as it is, and nothing maps back.
    TTextFormat plain{TTextEncoding::Utf8, 0};
    EXPECT_EQ(ToEditorText(QStringLiteral("x\uE004"), plain), QStringLiteral("x\uE004"));
    EXPECT_EQ(plain.standInBase, 0);
    EXPECT_EQ(FromEditorText(QStringLiteral("x\uE004"), plain), QStringLiteral("x\uE004"));
}

TEST(PlanTextSave, AWindows1251TextThatCannotHoldACharacterAsksFirst) {
    const TTextSavePlan plan =
        PlanTextSave(QStringLiteral("Ёжик 中 и 🙂"), TTextEncoding::Windows1251);
    EXPECT_EQ(plan.problem, TSaveProblem::MissingCharacter);
    EXPECT_EQ(plan.missing, QStringLiteral("中"));
    EXPECT_EQ(PlanTextSave(QStringLiteral("ok 🙂"), TTextEncoding::Windows1251).missing,
              QStringLiteral("🙂"));
    const TTextSavePlan fits = PlanTextSave(QStringLiteral("Ёжик № 5 — «да»"), TTextEncoding::Windows1251);
    EXPECT_EQ(fits.problem, TSaveProblem::None);
    EXPECT_EQ(fits.bytes, QByteArray("\xA8\xE6\xE8\xEA \xB9 5 \x97 \xAB\xE4\xE0\xBB"));
}

TEST(PlanTextSave, Windows1251BytesThatWouldReadBackAsOtherLettersAreFound) {
    // "Рѓ" is D0 83 in Windows-1251, which is "Ѓ" in UTF-8; "яю" in front of an even number of
    // bytes reads as UTF-16.
    for (const QString& text : {QStringLiteral("Рѓ"), QStringLiteral("яюка")}) {
        const TTextSavePlan plan = PlanTextSave(text, TTextEncoding::Windows1251);
        EXPECT_EQ(plan.problem, TSaveProblem::ReadsBackDifferently) << text.toStdString();
        EXPECT_NE(DecodeText(plan.bytes).text, text);
        const TTextSavePlan utf8 = PlanTextSave(text, TTextEncoding::Utf8);
        EXPECT_EQ(utf8.problem, TSaveProblem::None);
        EXPECT_EQ(DecodeText(utf8.bytes).text, text);
    }
    // Plain ASCII reads back the same whatever it is taken for.
    EXPECT_EQ(PlanTextSave(QStringLiteral("plain"), TTextEncoding::Windows1251).problem, TSaveProblem::None);
    // A UTF-8 text that begins with U+FEFF gets a mark in front, or the next load would take
    // its first character for one.
    const QString zeroWidth = QStringLiteral("\uFEFFstart");
    const TTextSavePlan marked = PlanTextSave(zeroWidth, TTextEncoding::Utf8);
    EXPECT_EQ(marked.encoding, TTextEncoding::Utf8Bom);
    EXPECT_EQ(DecodeText(marked.bytes).text, zeroWidth);
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
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("t.txt")});
}

TEST_F(TextFileTest, ATextBeyondTheMemoCapacityIsRefused) {
    const QString tooLarge = QStringLiteral("Text exceeds memo capacity");
    const auto loadMessage = [&](const QString& path) -> QString {
        try {
            return QString::number(LoadMemoText(path).text.size());
        } catch (const EFileError& e) {
            return QString::fromUtf8(e.what());
        }
    };
    // Line breaks count: the file's lone LF becomes CR LF.
    WriteAll(Path("full.txt"), QByteArray(MemoCapacity - 2, 'x') + "\n");
    EXPECT_EQ(loadMessage(Path("full.txt")), QString::number(MemoCapacity));
    WriteAll(Path("over.txt"), QByteArray(MemoCapacity - 1, 'x') + "\n");
    EXPECT_EQ(loadMessage(Path("over.txt")), tooLarge);
    EXPECT_EQ(LoadTextFile(Path("over.txt")).text.size(), MemoCapacity + 1);
    // A file far too large is refused before it is read: 100 GiB of nothing on disk.
    QFile huge(Path("huge.txt"));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    ASSERT_TRUE(huge.resize(qint64(100) << 30));
    huge.close();
    EXPECT_EQ(loadMessage(Path("huge.txt")), tooLarge);
    // A pipe is no text file; reading it would never end.
    ASSERT_EQ(::mkfifo(QFile::encodeName(Path("pipe.txt")).constData(), 0644), 0);
    EXPECT_EQ(loadMessage(Path("pipe.txt")), QStringLiteral("Cannot open file ") + Path("pipe.txt"));
}
