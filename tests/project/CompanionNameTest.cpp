#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "ProjectFiles.h"
#include "TestSupport.h"

TEST(CompanionName, ReplacesTheLastThreeCharacters) {
    EXPECT_EQ(CompanionName(QStringLiteral("lesson1.txt"), QStringLiteral("txr")),
              QStringLiteral("lesson1.txr"));
    EXPECT_EQ(CompanionName(QStringLiteral("lesson1.txt"), QStringLiteral("mp3")),
              QStringLiteral("lesson1.mp3"));
    EXPECT_EQ(CompanionName(QStringLiteral("lesson1.txt"), QStringLiteral("pos")),
              QStringLiteral("lesson1.pos"));
    EXPECT_EQ(CompanionName(QStringLiteral("lesson1.txt"), QStringLiteral("ims")),
              QStringLiteral("lesson1.ims"));
    EXPECT_EQ(CompanionName(QStringLiteral("/home/u/a b/lesson1.txt"), QStringLiteral("pos")),
              QStringLiteral("/home/u/a b/lesson1.pos"));
}

TEST(CompanionName, DoesNotLookAtTheExtension) {
    EXPECT_EQ(CompanionName(QStringLiteral("notes.text"), QStringLiteral("txr")),
              QStringLiteral("notes.ttxr"));
    EXPECT_EQ(CompanionName(QStringLiteral("notes.text"), QStringLiteral("mp3")),
              QStringLiteral("notes.tmp3"));
    EXPECT_EQ(CompanionName(QStringLiteral("notes.text"), QStringLiteral("pos")),
              QStringLiteral("notes.tpos"));
    EXPECT_EQ(CompanionName(QStringLiteral("notes.text"), QStringLiteral("ims")),
              QStringLiteral("notes.tims"));
}

TEST(CompanionName, ThreeCharactersOrFewerGiveAnEmptyStem) {
    EXPECT_EQ(CompanionName(QStringLiteral("abc"), QStringLiteral("pos")), QStringLiteral("pos"));
    EXPECT_EQ(CompanionName(QStringLiteral("ab"), QStringLiteral("pos")), QStringLiteral("pos"));
    EXPECT_EQ(CompanionName(QString(), QStringLiteral("txr")), QStringLiteral("txr"));
    EXPECT_EQ(CompanionName(QStringLiteral("abcd"), QStringLiteral("pos")), QStringLiteral("apos"));
}

TEST(FileExists, OnlyFilesCount) {
    QTemporaryDir dir;
    WriteAll(dir.filePath(QStringLiteral("f")), "x");
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("d")));
    EXPECT_TRUE(FileExists(dir.filePath(QStringLiteral("f"))));
    EXPECT_FALSE(FileExists(dir.filePath(QStringLiteral("d"))));
    EXPECT_FALSE(FileExists(dir.filePath(QStringLiteral("none"))));
    EXPECT_FALSE(FileExists(QString()));
}
