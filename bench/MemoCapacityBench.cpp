// The text editor at the memo capacity: loading a text of MemoCapacity characters into the window's
// text pane (TMemo), a key typed at its end, and the text read back as Save reads it; against the
// same for a text a sixteenth of the size. Prints the times and the memory the editor took.
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTextDocument>
#include <cstdio>
#include <fstream>
#include <string>

#include "TMemo.h"
#include "TextFile.h"

namespace {

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return 0;
}

// Lines of 60 Cyrillic letters, as far as `characters` reaches.
QString LessonLines(qsizetype characters) {
    QString line;
    for (int i = 0; i < 60; ++i) line += QChar(char16_t(u'а' + i % 32));
    line += QStringLiteral("\r\n");
    QString text;
    text.reserve(characters);
    while (text.size() + line.size() <= characters) text += line;
    return text;
}

struct TFigures {
    double load;
    double key;
    double read;
    long kib;
};

TFigures Measure(const QString& text) {
    TMemo memo(nullptr);
    memo.resize(528, 400);
    memo.show();
    QApplication::processEvents();
    const long before = ResidentKiB();
    QElapsedTimer timer;
    timer.start();
    memo.setPlainText(text);
    QApplication::processEvents();
    const double load = double(timer.nsecsElapsed()) / 1e6;
    memo.moveCursor(QTextCursor::End);
    QApplication::processEvents();
    timer.restart();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
    QApplication::sendEvent(&memo, &press);
    QApplication::processEvents();
    const double key = double(timer.nsecsElapsed()) / 1e6;
    timer.restart();
    volatile qsizetype sink = memo.document()->toRawText().size();
    (void)sink;
    const double read = double(timer.nsecsElapsed()) / 1e6;
    return {load, key, read, ResidentKiB() - before};
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString full = LessonLines(MemoCapacity);
    const QString small = LessonLines(MemoCapacity / 16);
    const TFigures base = Measure(small);
    const TFigures cap = Measure(full);
    std::printf("%-28s %10s %10s %10s %10s\n", "text", "load ms", "key ms", "read ms", "+MiB");
    std::printf("%-28s %10.1f %10.2f %10.1f %10ld\n", "1/16 of the capacity", base.load, base.key, base.read,
                base.kib / 1024);
    std::printf("%-28s %10.1f %10.2f %10.1f %10ld\n", "MemoCapacity characters", cap.load, cap.key, cap.read,
                cap.kib / 1024);
    std::printf("ratio (capacity / sixteenth): load %.1f, key %.1f\n", cap.load / base.load,
                cap.key / base.key);
    return 0;
}
