// The manual pages list the commands and options that --help lists, and no others.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <map>
#include <set>

#include "CliTestSupport.h"

namespace {

using TOptionSets = std::map<QString, std::set<QString>>;  // "" holds the program's own

std::set<QString> OptionsIn(const QString& text) {
    static const QRegularExpression option(QStringLiteral("(?:^|[\\s,|\\[\"])(--?[A-Za-z][A-Za-z-]*)"));
    std::set<QString> found;
    for (auto it = option.globalMatch(text); it.hasNext();) found.insert(it.next().captured(1));
    return found;
}

// The names in front of each entry of a help text's "options:" block.
std::set<QString> HelpOptions(const QByteArray& help) {
    std::set<QString> found;
    bool inBlock = false;
    for (const QString& line : QString::fromUtf8(help).split(u'\n')) {
        if (line == QStringLiteral("options:")) {
            inBlock = true;
        } else if (inBlock && line.trimmed().isEmpty()) {
            inBlock = false;
        } else if (inBlock) {
            const QString names = line.trimmed().split(QRegularExpression(QStringLiteral("\\s{2,}")))[0];
            found.merge(OptionsIn(names));
        }
    }
    return found;
}

// The tags of the .TP entries of a page: under OPTIONS the program's own, under COMMANDS those of
// the .SS subsection a command names.
TOptionSets PageOptions(const QString& path, std::set<QString>& commands) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    TOptionSets sets;
    QString section;
    QString command;
    bool tag = false;
    for (QString line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        line.replace(QStringLiteral("\\-"), QStringLiteral("-"));
        line.remove(QRegularExpression(QStringLiteral("\\\\f[BIRP]")));
        if (line.startsWith(QStringLiteral(".SH "))) {
            section = line.mid(4).trimmed();
            command.clear();
        } else if (line.startsWith(QStringLiteral(".SS ")) && section == QStringLiteral("COMMANDS")) {
            command = line.mid(4).trimmed().split(u' ')[0];
            commands.insert(command);
            sets[command];
        } else if (line.startsWith(QStringLiteral(".TP"))) {
            tag = true;
            continue;
        } else if (tag && (section == QStringLiteral("OPTIONS") || section == QStringLiteral("COMMANDS"))) {
            // A tag line opens with its macro (.B, .BR, ...); the options follow.
            const std::set<QString> options = OptionsIn(line.section(u' ', 1));
            sets[section == QStringLiteral("OPTIONS") ? QString() : command].insert(options.begin(),
                                                                                    options.end());
        }
        tag = false;
    }
    return sets;
}

QString Page(const char* name) {
    return QStringLiteral(SORVELLE_SOURCE_DIR "/data/") + QString::fromLatin1(name);
}

TEST(ManualPageTest, CliPageListsTheCommandsAndOptionsOfHelp) {
    const TCliResult help = RunCli({QStringLiteral("--help")});
    ASSERT_EQ(help.exitCode, 0);
    std::set<QString> helpCommands;
    static const QRegularExpression commandLine(QStringLiteral("^  ([a-z]+) "));
    bool inCommands = false;
    for (const QString& line : QString::fromUtf8(help.out).split(u'\n')) {
        if (line == QStringLiteral("commands:")) inCommands = true;
        if (line.isEmpty()) inCommands = false;
        const auto match = commandLine.match(line);
        if (inCommands && match.hasMatch()) helpCommands.insert(match.captured(1));
    }
    EXPECT_EQ(helpCommands,
              (std::set<QString>{QStringLiteral("info"), QStringLiteral("export"), QStringLiteral("import"),
                                 QStringLiteral("check"), QStringLiteral("align")}));

    TOptionSets helpOptions{{QString(), HelpOptions(help.out)}};
    for (const QString& command : helpCommands) {
        const TCliResult r = RunCli({command, QStringLiteral("--help")});
        ASSERT_EQ(r.exitCode, 0) << command.toStdString();
        helpOptions[command] = HelpOptions(r.out);
    }
    EXPECT_EQ(helpOptions[QString()], (std::set<QString>{QStringLiteral("-h"), QStringLiteral("--help"),
                                                         QStringLiteral("--version")}));
    EXPECT_EQ(helpOptions[QStringLiteral("export")],
              (std::set<QString>{QStringLiteral("-o"), QStringLiteral("--output"), QStringLiteral("-h"),
                                 QStringLiteral("--help")}));

    std::set<QString> pageCommands;
    const TOptionSets pageOptions = PageOptions(Page("sorvelle-cli.1"), pageCommands);
    EXPECT_EQ(pageCommands, helpCommands);
    EXPECT_EQ(pageOptions, helpOptions);
}

TEST(ManualPageTest, EditorPageListsTheOptionsOfHelp) {
    QProcess editor;
    editor.start(QStringLiteral(SORVELLE_EDITOR), {QStringLiteral("--help")});
    ASSERT_TRUE(editor.waitForFinished(60000));
    EXPECT_EQ(editor.exitCode(), 0);
    const std::set<QString> helpOptions = HelpOptions(editor.readAllStandardOutput());
    EXPECT_EQ(helpOptions, (std::set<QString>{QStringLiteral("--home-folder"), QStringLiteral("-h"),
                                              QStringLiteral("--help"), QStringLiteral("--version")}));
    std::set<QString> commands;
    const TOptionSets pageOptions = PageOptions(Page("sorvelle.1"), commands);
    EXPECT_TRUE(commands.empty());
    EXPECT_EQ(pageOptions, (TOptionSets{{QString(), helpOptions}}));
}

}  // namespace
