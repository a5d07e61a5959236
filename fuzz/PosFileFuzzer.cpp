// The segment-table reader on any bytes, against a model of its rule: fields are read in file
// order, a field cut short by the end of the file takes the bytes there are as its low-order
// bytes, and everything behind the end keeps its value. Then Save writes the table over the same
// file and a second read must give the same records, with the file's bytes from 12004 on kept.

#include <algorithm>
#include <cstring>

#include "EditorState.h"
#include "FuzzSupport.h"
#include "ProjectFiles.h"

namespace {

// A recognisable value in every field, so that a field the reader wrongly skips or clears shows.
void FillTable(TItemRec* table, int seed) {
    for (int i = 0; i < ItemTableSize; ++i) {
        TItemRec& rec = table[i];
        rec.Flag = seed * 7 + i;
        rec.Start = seed * 1000003 + i * 11;
        rec.Finish = -(seed + i);
        rec.PicCount = static_cast<int16_t>(seed + i % 7);
        for (int k = 0; k < 5; ++k) rec.Pics[k] = static_cast<int16_t>(seed * 31 + i + k);
    }
}

bool SameRecord(const TItemRec& a, const TItemRec& b) {
    return a.Flag == b.Flag && a.Start == b.Start && a.Finish == b.Finish && a.PicCount == b.PicCount &&
           std::equal(std::begin(a.Pics), std::end(a.Pics), std::begin(b.Pics));
}

class TModelReader {
  public:
    TModelReader(const uint8_t* data, size_t size) : data_(data), size_(static_cast<int64_t>(size)) {}

    // False once the file has no more bytes for the whole field.
    template <typename T>
    bool Take(T& field) {
        using U = std::make_unsigned_t<T>;
        const int64_t left = size_ - at_;
        if (left <= 0) return false;
        const int64_t n = std::min<int64_t>(left, sizeof(T));
        U value = static_cast<U>(field);
        for (int64_t i = 0; i < n; ++i) {
            const unsigned shift = static_cast<unsigned>(8 * i);
            value = static_cast<U>((value & static_cast<U>(~(static_cast<U>(0xFF) << shift))) |
                                   static_cast<U>(static_cast<U>(data_[at_ + i]) << shift));
        }
        field = static_cast<T>(value);
        at_ += n;
        return n == static_cast<int64_t>(sizeof(T));
    }
    void Seek(int64_t at) { at_ = at; }

  private:
    const uint8_t* data_;
    int64_t size_;
    int64_t at_ = 0;
};

void ModelRead(const uint8_t* data, size_t size, TItemRec* table) {
    TModelReader in(data, size);
    int32_t n = 0;
    if (!in.Take(n)) return;
    const int32_t count = std::min<int32_t>(n, ItemTableSize);
    for (int32_t i = 0; i < count; ++i) {
        if (!in.Take(table[i].Flag) || !in.Take(table[i].Start) || !in.Take(table[i].Finish)) return;
    }
    in.Seek(4 + 12 * static_cast<int64_t>(std::max(n, count)));
    for (int32_t i = 0; i < count; ++i) {
        if (!in.Take(table[i].PicCount)) return;
        for (int16_t& pic : table[i].Pics) {
            if (!in.Take(pic)) return;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QString path = ScratchPath("project.pos");
    static TItemRec expected[ItemTableSize];
    EditorState.MaxItems = ItemTableSize;
    WriteScratch(path, data, size);

    FillTable(ItemTable, 1);
    FillTable(expected, 1);
    ReadPosFile(path);
    ModelRead(data, size, expected);
    for (int i = 0; i < ItemTableSize; ++i) FUZZ_CHECK(SameRecord(ItemTable[i], expected[i]));

    FUZZ_CHECK(WritePosFile(path));
    const QByteArray written = ReadScratch(path);
    FUZZ_CHECK(written.size() == std::max<qsizetype>(PosFileSize, static_cast<qsizetype>(size)));
    int32_t n = 0;
    std::memcpy(&n, written.constData(), 4);
    FUZZ_CHECK(n == ItemTableSize);
    if (size > static_cast<size_t>(PosFileSize)) {
        FUZZ_CHECK(std::memcmp(written.constData() + PosFileSize, data + PosFileSize, size - PosFileSize) ==
                   0);
    }

    FillTable(ItemTable, 2);
    ReadPosFile(path);
    for (int i = 0; i < ItemTableSize; ++i) FUZZ_CHECK(SameRecord(ItemTable[i], expected[i]));
    return 0;
}
