// Every seed of the fuzz corpora and every input a fuzzer has ever found, through the same checks
// the fuzz targets make; a failed check aborts the binary and names the input on stderr.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <cstdint>

#include "EditorState.h"
#include "PictureArchive.h"
#include "TestSupport.h"

extern "C" int FuzzPosFile(const uint8_t* data, size_t size);
extern "C" int FuzzPictureArchive(const uint8_t* data, size_t size);
extern "C" int FuzzPlayer(const uint8_t* data, size_t size);
extern "C" int FuzzTextFile(const uint8_t* data, size_t size);

namespace {

using TEntry = int (*)(const uint8_t*, size_t);

// Runs the entry on every file of the folders; returns how many there were.
int Replay(TEntry entry, const QStringList& folders) {
    int inputs = 0;
    for (const QString& folder : folders) {
        const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files, QDir::Name);
        for (const QFileInfo& file : files) {
            const QByteArray bytes = ReadAll(file.filePath());
            SCOPED_TRACE(file.filePath().toStdString());
            fprintf(stderr, "replaying %s\n", qPrintable(file.filePath()));
            entry(reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size()));
            ++inputs;
        }
    }
    return inputs;
}

QString Corpus(const char* target) { return QStringLiteral(SORVELLE_FUZZ_CORPUS_DIR "/") + target; }
QString Found(const char* target) { return FixturePath(QStringLiteral("hostile/")) + target; }

class FuzzReplayTest : public FreshStateTest {};

TEST_F(FuzzReplayTest, SegmentTables) {
    EXPECT_GT(Replay(FuzzPosFile, {Corpus("pos_file"), Found("pos_file")}), 5);
}

TEST_F(FuzzReplayTest, PictureArchives) {
    EXPECT_GT(Replay(FuzzPictureArchive, {Corpus("picture_archive"), Found("picture_archive")}), 5);
    CloseArchive();
}

TEST_F(FuzzReplayTest, Recordings) {
    EXPECT_GT(Replay(FuzzPlayer, {Corpus("player"), FixturePath(QStringLiteral("mp3")), Found("player")}), 5);
}

TEST_F(FuzzReplayTest, Texts) {
    EXPECT_GT(Replay(FuzzTextFile, {Corpus("text_file"), Found("text_file")}), 5);
}

}  // namespace
