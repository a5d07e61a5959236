#include <gtest/gtest.h>

#include "EditorState.h"
#include "TestSupport.h"

using EditorStateTest = FreshStateTest;

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
