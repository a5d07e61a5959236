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
