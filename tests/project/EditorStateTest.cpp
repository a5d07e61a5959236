#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "EditorState.h"
#include "TestSupport.h"

using EditorStateTest = FreshStateTest;

namespace {

// Exits 0 when every field holds its value of a program start, else prints the first that does not.
void ExitWithInitialStateCheck() {
    auto fail = [](const char* field) {
        std::fprintf(stderr, "not initial: %s\n", field);
        std::exit(1);
    };
    for (const TItemRec& rec : ItemTable) {
        if (rec.Flag != 0 || rec.Start != 0 || rec.Finish != 0 || rec.PicCount != 0) fail("ItemTable");
        for (int16_t p : rec.Pics) {
            if (p != 0) fail("ItemTable Pics");
        }
    }
    for (const QImage& slot : PictureTable) {
        if (!slot.isNull()) fail("PictureTable");
    }
    const TEditorState& s = EditorState;
    if (s.Samples != nullptr || s.SampleCount != 0) fail("Samples");
    if (s.ViewSpan != 100000.0f || s.ViewStart != 0.0f) fail("view");
    if (s.ZoomScroller != nullptr || s.PosScroller != nullptr) fail("scrollers");
    if (s.ZoomFactor != 1.03f) fail("ZoomFactor");
    if (s.SelStart != 0 || s.SelEnd != 0 || s.MarkA != 0 || s.MarkB != 0) fail("selection");
    if (s.MaxItems != 500) fail("MaxItems");
    if (!s.ArchiveName.isEmpty() || s.ArchiveFile != -1 || s.PictureCount != 0) fail("archive");
    if (s.TempJpeg != nullptr || s.WaveBitmap != nullptr) fail("TempJpeg, WaveBitmap");
    if (s.StripStart != 0 || s.ChosenPicture != 0) fail("strip");
    if (!TextName.isEmpty() || !TxrName.isEmpty() || !PosName.isEmpty()) fail("names");
    std::exit(0);
}

}  // namespace

// The values a program start gives, before any reset: the check runs in a process of its own,
// started afresh from the test binary, that has run nothing else.
TEST(EditorStateFreshProcess, StartsWithTheInitialValues) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(ExitWithInitialStateCheck(), ::testing::ExitedWithCode(0), "");
}

TEST_F(EditorStateTest, FreshStartHoldsTheInitialValues) {
    for (const TItemRec& rec : ItemTable) {
        EXPECT_EQ(rec.Flag, 0);
        EXPECT_EQ(rec.Start, 0);
        EXPECT_EQ(rec.Finish, 0);
        EXPECT_EQ(rec.PicCount, 0);
        for (int16_t p : rec.Pics) EXPECT_EQ(p, 0);
    }
    EXPECT_EQ(EditorState.ArchiveFile, -1);
    EXPECT_TRUE(EditorState.ArchiveName.isEmpty());
    EXPECT_TRUE(TextName.isEmpty());
    EXPECT_TRUE(TxrName.isEmpty());
    EXPECT_TRUE(PosName.isEmpty());
    EXPECT_EQ(EditorState.ViewSpan, 100000.0f);
    EXPECT_EQ(EditorState.ViewStart, 0.0f);
    EXPECT_EQ(EditorState.ZoomFactor, 1.03f);
    EXPECT_EQ(EditorState.MaxItems, 500);
    EXPECT_EQ(EditorState.Samples, nullptr);
}

TEST(ItemRecLayout, RecordFieldsHaveTheirFileWidths) {
    EXPECT_EQ(sizeof(TItemRec::Flag), 4u);
    EXPECT_EQ(sizeof(TItemRec::PicCount), 2u);
    EXPECT_EQ(sizeof(TItemRec::Pics), 10u);
    EXPECT_EQ(std::size(ItemTable), 500u);
    EXPECT_EQ(PictureTable.size(), 500u);
}
