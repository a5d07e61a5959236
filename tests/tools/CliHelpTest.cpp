// The tool and each subcommand describe themselves; usage errors give one line and exit code 2.
#include <gtest/gtest.h>

#include "CliTestSupport.h"

TEST(CliHelpTest, ToolHelpListsEverySubcommand) {
    const TCliResult r = RunCli({QStringLiteral("--help")});
    EXPECT_EQ(r.exitCode, 0);
    for (const char* name : {"info", "export", "import", "check"}) {
        EXPECT_TRUE(r.out.contains(QByteArray("  ") + name + " ")) << name << "\n" << r.out.constData();
    }
    EXPECT_TRUE(r.err.isEmpty());
}

TEST(CliHelpTest, EachSubcommandHasItsHelpOnStdout) {
    const std::pair<const char*, const char*> usages[] = {
        {"export", "usage: sorvelle-cli export FORMAT PROJECT.txt [-o FILE]"},
        {"import", "usage: sorvelle-cli import audacity LABELS.txt PROJECT.txt"},
        {"check", "usage: sorvelle-cli check PROJECT.txt"},
    };
    for (const auto& [name, usage] : usages) {
        for (const char* option : {"--help", "-h"}) {
            const TCliResult r = RunCli({QString::fromLatin1(name), QString::fromLatin1(option)});
            EXPECT_EQ(r.exitCode, 0) << name;
            EXPECT_TRUE(r.out.startsWith(usage)) << r.out.constData();
            EXPECT_TRUE(r.out.contains("Exit status")) << name;
            EXPECT_TRUE(r.err.isEmpty()) << name;
        }
    }
}

TEST(CliHelpTest, HelpWinsOverOtherArguments) {
    const TCliResult r = RunCli({QStringLiteral("export"), QStringLiteral("srt"),
                                 QStringLiteral("/nowhere/p.txt"), QStringLiteral("--help")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.startsWith("usage: sorvelle-cli export"));
}

TEST(CliHelpTest, UsageErrorsGiveOneLineAndExitTwo) {
    const QStringList cases[] = {
        {QStringLiteral("frobnicate")},
        {QStringLiteral("export")},
        {QStringLiteral("export"), QStringLiteral("srt")},
        {QStringLiteral("export"), QStringLiteral("docx"), QStringLiteral("p.txt")},
        {QStringLiteral("export"), QStringLiteral("srt"), QStringLiteral("p.txt"), QStringLiteral("--fast")},
        {QStringLiteral("export"), QStringLiteral("srt"), QStringLiteral("p.txt"), QStringLiteral("-o")},
        {QStringLiteral("export"), QStringLiteral("srt"), QStringLiteral("p.txt"), QStringLiteral("extra")},
        {QStringLiteral("import"), QStringLiteral("audacity"), QStringLiteral("labels.txt")},
        {QStringLiteral("import"), QStringLiteral("srt"), QStringLiteral("a.srt"), QStringLiteral("p.txt")},
        {QStringLiteral("import"), QStringLiteral("-x")},
        {QStringLiteral("check")},
        {QStringLiteral("check"), QStringLiteral("p.txt"), QStringLiteral("q.txt")},
        {QStringLiteral("check"), QStringLiteral("--verbose"), QStringLiteral("p.txt")},
    };
    for (const QStringList& args : cases) {
        const TCliResult r = RunCli(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(u' ').toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << args.join(u' ').toStdString();
        const QStringList lines = ErrLines(r);
        ASSERT_EQ(lines.size(), 1) << r.err.constData();
        EXPECT_TRUE(lines[0].startsWith(QStringLiteral("sorvelle-cli"))) << lines[0].toStdString();
    }
}

TEST(CliHelpTest, MissingFilesGiveOneLineAndExitTwo) {
    const QString missing = QStringLiteral("/nonexistent-sorvelle/p.txt");
    const QStringList cases[] = {
        {QStringLiteral("export"), QStringLiteral("json"), missing},
        {QStringLiteral("check"), missing},
        {QStringLiteral("import"), QStringLiteral("audacity"), QStringLiteral("/nonexistent-sorvelle/l.txt"),
         missing},
    };
    for (const QStringList& args : cases) {
        const TCliResult r = RunCli(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(u' ').toStdString();
        const QStringList lines = ErrLines(r);
        ASSERT_EQ(lines.size(), 1) << r.err.constData();
        EXPECT_TRUE(lines[0].contains(QStringLiteral("/nonexistent-sorvelle/"))) << lines[0].toStdString();
    }
}

TEST(CliHelpTest, VersionIsTheProjectsVersion) {
    const TCliResult r = RunCli({QStringLiteral("--version")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, QByteArray("sorvelle-cli " SORVELLE_EXPECTED_VERSION "\n"));
    EXPECT_TRUE(r.err.isEmpty());
}

class CliStdoutTest : public TTestProject {};

TEST_F(CliStdoutTest, OutputThatCannotBeWrittenFailsWithAMessage) {
    WriteText("a\r\nb\r\n");
    WritePos({{0, 1, 0, 11025, {}}});
    const QString labels = dir_.filePath(QStringLiteral("labels.txt"));
    WriteAll(labels, "0\t1\tx\n");
    const QString mp3 = FixturePath(QStringLiteral("mp3/mpeg1-l3-44100-stereo-cbr.mp3"));
    const QStringList commands[] = {
        {QStringLiteral("--help")},
        {QStringLiteral("--version")},
        {QStringLiteral("check"), QStringLiteral("--help")},
        {QStringLiteral("check"), Text()},
        {QStringLiteral("export"), QStringLiteral("json"), Text()},
        {QStringLiteral("import"), QStringLiteral("audacity"), labels, Text()},
        {QStringLiteral("info"), mp3},
    };
    for (const QStringList& args : commands) {
        // Every one of them succeeds when its output arrives.
        EXPECT_EQ(RunCli(args).exitCode, 0) << args.join(u' ').toStdString();
        const TCliResult r = RunCli(args, QStringLiteral("/dev/full"));
        EXPECT_EQ(r.exitCode, 1) << args.join(u' ').toStdString();
        // The reason, when the last write is the one that fails.
        const QStringList err = ErrLines(r);
        ASSERT_FALSE(err.isEmpty()) << args.join(u' ').toStdString();
        EXPECT_TRUE(
            err.back() == QStringLiteral("sorvelle-cli: cannot write to standard output") ||
            err.back() ==
                QStringLiteral("sorvelle-cli: cannot write to standard output: No space left on device"))
            << args.join(u' ').toStdString() << "\n"
            << r.err.constData();
    }
}
