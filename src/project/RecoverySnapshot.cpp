#include "RecoverySnapshot.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <cerrno>
#include <cstring>

#include "SafeSave.h"

namespace {

constexpr qsizetype RecordBytes = 24;
constexpr qint64 MaxNameBytes = 64 * 1024;

std::array<uint32_t, 256> MakeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

bool EncodingFromCode(uint32_t code, TTextEncoding* encoding) {
    switch (code) {
        case 0:
            *encoding = TTextEncoding::Utf8;
            return true;
        case 1:
            *encoding = TTextEncoding::Windows1251;
            return true;
        case 2:
            *encoding = TTextEncoding::Utf8Bom;
            return true;
        case 3:
            *encoding = TTextEncoding::Utf16Le;
            return true;
        case 4:
            *encoding = TTextEncoding::Utf16Be;
            return true;
        default:
            return false;
    }
}

void AddUInt32(QByteArray& out, uint32_t v) {
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

void AddText(QByteArray& out, const QString& text, TTextEncoding encoding) {
    AddUInt32(out, TextEncodingCode(encoding));
    const qsizetype length = text.size() * 2;
    AddUInt32(out, uint32_t(length));
    const qsizetype at = out.size();
    out.resize(at + length);
    qToLittleEndian<quint16>(text.utf16(), text.size(), out.data() + at);
}

// Reads fields in order; once a field runs past the end every later read fails too.
class TReader {
  public:
    explicit TReader(const QByteArray& bytes, qsizetype end) : bytes_(bytes), end_(end) {}

    bool Take(qsizetype length, const char** at) {
        if (length < 0 || length > end_ - pos_) return false;
        *at = bytes_.constData() + pos_;
        pos_ += length;
        return true;
    }
    bool UInt32(uint32_t* v) {
        const char* at = nullptr;
        if (!Take(4, &at)) return false;
        *v = qFromLittleEndian<uint32_t>(at);
        return true;
    }
    bool Text(QString* text, TTextEncoding* encoding) {
        uint32_t code = 0;
        uint32_t length = 0;
        const char* at = nullptr;
        if (!UInt32(&code) || !EncodingFromCode(code, encoding) || !UInt32(&length)) return false;
        if (length % 2 != 0 || length > 2 * quint64(MemoCapacity) || !Take(length, &at)) return false;
        text->resize(qsizetype(length / 2));
        qFromLittleEndian<quint16>(at, length / 2, text->data());
        return true;
    }
    bool AtEnd() const { return pos_ == end_; }

  private:
    const QByteArray& bytes_;
    qsizetype end_;
    qsizetype pos_ = 0;
};

}  // namespace

uint32_t TextEncodingCode(TTextEncoding encoding) {
    switch (encoding) {
        case TTextEncoding::Utf8:
            return 0;
        case TTextEncoding::Windows1251:
            return 1;
        case TTextEncoding::Utf8Bom:
            return 2;
        case TTextEncoding::Utf16Le:
            return 3;
        case TTextEncoding::Utf16Be:
            return 4;
    }
    return 0;
}

uint32_t Crc32(const char* data, qsizetype length) {
    static const std::array<uint32_t, 256> table = MakeCrcTable();
    uint32_t c = 0xFFFFFFFFu;
    for (qsizetype i = 0; i < length; ++i) c = table[(c ^ uint8_t(data[i])) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

QByteArray EncodeSnapshot(const TRecoverySnapshot& s) {
    QByteArray out;
    out.reserve(20 + 4 + s.TextName.size() + 16 + 2 * (s.Text.size() + s.SecondText.size()) + 4 +
                RecordBytes * ItemTableSize + 4);
    out.append(SnapshotMagic, sizeof SnapshotMagic);
    AddUInt32(out, SnapshotVersion);
    char time[8];
    qToLittleEndian<qint64>(s.TimeMs, time);
    out.append(time, 8);
    AddUInt32(out, uint32_t(s.TextName.size()));
    out.append(s.TextName);
    AddText(out, s.Text, s.TextEncoding);
    AddText(out, s.SecondText, s.SecondEncoding);
    AddUInt32(out, uint32_t(ItemTableSize));
    for (const TItemRec& rec : s.Items) {
        char r[RecordBytes];
        qToLittleEndian<int32_t>(rec.Flag, r);
        qToLittleEndian<int32_t>(rec.Start, r + 4);
        qToLittleEndian<int32_t>(rec.Finish, r + 8);
        qToLittleEndian<int16_t>(rec.PicCount, r + 12);
        for (int k = 0; k < 5; ++k) qToLittleEndian<int16_t>(rec.Pics[k], r + 14 + 2 * k);
        out.append(r, RecordBytes);
    }
    AddUInt32(out, Crc32(out.constData(), out.size()));
    return out;
}

bool DecodeSnapshot(const QByteArray& bytes, TRecoverySnapshot* s) {
    if (bytes.size() < qsizetype(sizeof SnapshotMagic) + 4 + 8 + 4 || bytes.size() > MaxSnapshotBytes)
        return false;
    if (std::memcmp(bytes.constData(), SnapshotMagic, sizeof SnapshotMagic) != 0) return false;
    const qsizetype body = bytes.size() - 4;
    if (Crc32(bytes.constData(), body) != qFromLittleEndian<uint32_t>(bytes.constData() + body)) return false;

    TReader in(bytes, body);
    const char* at = nullptr;
    uint32_t version = 0;
    uint32_t nameLength = 0;
    if (!in.Take(sizeof SnapshotMagic, &at) || !in.UInt32(&version) || version != SnapshotVersion)
        return false;
    if (!in.Take(8, &at)) return false;
    s->TimeMs = qFromLittleEndian<qint64>(at);
    if (!in.UInt32(&nameLength) || nameLength > MaxNameBytes || !in.Take(nameLength, &at)) return false;
    s->TextName = QByteArray(at, nameLength);
    if (!in.Text(&s->Text, &s->TextEncoding) || !in.Text(&s->SecondText, &s->SecondEncoding)) return false;
    uint32_t records = 0;
    if (!in.UInt32(&records) || records != uint32_t(ItemTableSize)) return false;
    for (TItemRec& rec : s->Items) {
        if (!in.Take(RecordBytes, &at)) return false;
        rec.Flag = qFromLittleEndian<int32_t>(at);
        rec.Start = qFromLittleEndian<int32_t>(at + 4);
        rec.Finish = qFromLittleEndian<int32_t>(at + 8);
        rec.PicCount = qFromLittleEndian<int16_t>(at + 12);
        for (int k = 0; k < 5; ++k) rec.Pics[k] = qFromLittleEndian<int16_t>(at + 14 + 2 * k);
    }
    return in.AtEnd();
}

TSnapshotRead ReadSnapshotFile(const QString& path, TRecoverySnapshot* snapshot) {
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return errno == ENOENT ? TSnapshotRead::Missing : TSnapshotRead::Unreadable;
    struct stat st {};
    TSnapshotRead result = TSnapshotRead::Unreadable;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        if (st.st_size > MaxSnapshotBytes) {
            result = TSnapshotRead::Damaged;
        } else {
            QByteArray bytes(qsizetype(st.st_size), Qt::Uninitialized);
            qsizetype done = 0;
            while (done < bytes.size()) {
                const ssize_t n = ::read(fd, bytes.data() + done, size_t(bytes.size() - done));
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) break;
                done += n;
            }
            if (done == bytes.size()) {
                result = DecodeSnapshot(bytes, snapshot) ? TSnapshotRead::Found : TSnapshotRead::Damaged;
            }
        }
    }
    ::close(fd);
    return result;
}

bool WriteSnapshotFile(const QString& path, const TRecoverySnapshot& snapshot) {
    return SaveFileSafely(path, EncodeSnapshot(snapshot));
}

QByteArray ResolvedTextName(const QString& textName) {
    const QFileInfo info(textName);
    const QString canonical = info.canonicalFilePath();
    return QFile::encodeName(canonical.isEmpty() ? info.absoluteFilePath() : canonical);
}

QString RecoveryKey(const QString& textName) {
    const QByteArray hash = QCryptographicHash::hash(ResolvedTextName(textName), QCryptographicHash::Sha256);
    return QString::fromLatin1(hash.left(16).toHex());
}

QString SnapshotPath(const QString& folder, const QString& key) {
    return folder + QLatin1Char('/') + key + QStringLiteral(".snapshot");
}

QString DamagedSnapshotPath(const QString& folder, const QString& key) {
    return SnapshotPath(folder, key) + QStringLiteral(".bad");
}

QString LockPath(const QString& folder, const QString& key) {
    return folder + QLatin1Char('/') + key + QStringLiteral(".lock");
}

void RemoveStaleSnapshotTemporaries(const QString& folder, const QString& key) {
    // SaveFileSafely names its temporary files "." + name + "." and six letters.
    const QString pattern = QLatin1Char('.') + key + QStringLiteral(".snapshot.??????");
    const QDir dir(folder);
    for (const QString& name : dir.entryList({pattern}, QDir::Files | QDir::Hidden | QDir::System)) {
        QFile::remove(dir.filePath(name));
    }
}

bool MakePrivateFolder(const QString& folder) {
    const QFileInfo info(folder);
    if (!QDir().mkpath(info.absolutePath())) return false;
    const QByteArray name = QFile::encodeName(folder);
    if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st {};
    return ::stat(name.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}
