// The picture archive on any bytes: open, load every picture through the JPEG decoder, add a
// picture, load again. Loading may refuse pictures but never reads outside the file; an addition
// either appends exactly the picture's bytes behind the last picture, or leaves the archive byte
// for byte as it was.

#include <QtEndian>
#include <cstring>

#include "EditorState.h"
#include "FileError.h"
#include "FuzzSupport.h"
#include "PictureArchive.h"

namespace {

void LoadQuietly() {
    try {
        LoadPictures();
    } catch (const EFileError&) {
        // Damaged pictures are reported to the user; here only what follows matters.
    }
}

void CheckTable() {
    FUZZ_CHECK(EditorState.PictureCount >= 0 && EditorState.PictureCount <= ArchiveMaxPictures);
    for (int i = EditorState.PictureCount; i < PictureTableSize; ++i)
        FUZZ_CHECK(PictureTable[size_t(i)].isNull());
}

int32_t Int32At(const QByteArray& bytes, qsizetype offset) {
    return qFromLittleEndian<int32_t>(bytes.constData() + offset);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QString archive = ScratchPath("project.ims");
    static const QString picture = QStringLiteral(SORVELLE_FIXTURES_DIR "/jpeg/red.jpg");
    static const QByteArray pictureBytes = ReadScratch(picture);
    FUZZ_CHECK(!pictureBytes.isEmpty());

    WriteScratch(archive, data, size);
    EditorState.ArchiveName = archive;
    OpenArchive();
    FUZZ_CHECK(EditorState.ArchiveFile != -1);
    LoadQuietly();
    CheckTable();

    const QByteArray before = ReadScratch(archive);
    bool appended = false;
    try {
        AppendPicture(picture);
        appended = true;
    } catch (const EFileError&) {
    }
    const QByteArray after = ReadScratch(archive);
    const int32_t n = before.size() >= 8 ? Int32At(before, 4) : -1;
    if (!appended || n >= ArchiveMaxPictures) {
        FUZZ_CHECK(after == before);
    } else {
        FUZZ_CHECK(n >= 0 && n < ArchiveMaxPictures);
        qint64 used = 0;
        for (int i = 0; i < n; ++i) used += Int32At(before, 8 + 4 * i);
        const qint64 offset = ArchiveHeaderSize + used;
        FUZZ_CHECK(offset <= before.size());
        FUZZ_CHECK(Int32At(after, 4) == n + 1);
        FUZZ_CHECK(Int32At(after, 8 + 4 * n) == pictureBytes.size());
        FUZZ_CHECK(after.size() >= offset + pictureBytes.size());
        FUZZ_CHECK(after.mid(offset, pictureBytes.size()) == pictureBytes);
        // Everything of the earlier pictures stays; only entry n, the count and the free space change.
        FUZZ_CHECK(std::memcmp(after.constData(), before.constData(), 4) == 0);
        FUZZ_CHECK(std::memcmp(after.constData() + 8, before.constData() + 8, size_t(4 * n)) == 0);
        // (as far as the file held them: a count may promise pictures the file never had).
        const QByteArray earlier = before.mid(ArchiveHeaderSize, used);
        FUZZ_CHECK(after.mid(ArchiveHeaderSize, earlier.size()) == earlier);
    }

    LoadQuietly();
    CheckTable();
    if (appended && n >= 0 && n < ArchiveMaxPictures) FUZZ_CHECK(!PictureTable[size_t(n)].isNull());
    CloseArchive();
    return 0;
}
