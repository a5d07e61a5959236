// Loading, saving and the segment table: prints each figure with a ratio against a plain Qt
// baseline measured in the same run.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <functional>

#include "ProjectFiles.h"

namespace {

// Best of several runs, in milliseconds.
double Millis(const std::function<void()>& work, int runs = 7) {
    double best = 1e30;
    for (int r = 0; r < runs; ++r) {
        const auto start = std::chrono::steady_clock::now();
        work();
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

void Report(const char* what, double ms, const char* baseline, double baseMs) {
    std::printf("%-44s %9.3f ms   %-34s %9.3f ms   ratio %6.2f\n", what, ms, baseline, baseMs, ms / baseMs);
}

// A text of `lines` lines of mixed Cyrillic and Latin, in UTF-8 and in Windows-1251.
QString LessonText(int lines) {
    QString text;
    for (int i = 0; i < lines; ++i) {
        text +=
            QStringLiteral("%1. Маленький мальчик идёт к реке — a small boy walks to the river.\n").arg(i);
    }
    return text;
}

}  // namespace

int main() {
    volatile qsizetype sink = 0;
    const QString text = LessonText(40000);  // about 3 MB, far beyond any lesson
    const QByteArray utf8 = text.toUtf8();
    const QByteArray cp1251 = EncodeWindows1251(text);
    std::printf("text: %lld characters, %lld bytes UTF-8, %lld bytes Windows-1251\n",
                static_cast<long long>(text.size()), static_cast<long long>(utf8.size()),
                static_cast<long long>(cp1251.size()));

    Report("DecodeText, UTF-8", Millis([&] { sink = sink + DecodeText(utf8).text.size(); }),
           "QString::fromUtf8", Millis([&] { sink = sink + QString::fromUtf8(utf8).size(); }));
    Report("DecodeText, Windows-1251", Millis([&] { sink = sink + DecodeText(cp1251).text.size(); }),
           "QString::fromLatin1", Millis([&] { sink = sink + QString::fromLatin1(cp1251).size(); }));
    Report("EncodeText, Windows-1251",
           Millis([&] { sink = sink + EncodeText(text, TTextEncoding::Windows1251).size(); }),
           "QString::toLatin1", Millis([&] { sink = sink + text.toLatin1().size(); }));

    QTemporaryDir dir;
    const QString pos = dir.filePath(QStringLiteral("bench.pos"));
    const QString plain = dir.filePath(QStringLiteral("plain.pos"));
    const QByteArray layout(12004, '\1');
    Report("WritePosFile (temporary file + rename)", Millis([&] { sink = sink + WritePosFile(pos); }, 21),
           "QFile write of 12004 bytes",
           Millis(
               [&] {
                   QFile f(plain);
                   if (f.open(QIODevice::WriteOnly)) sink = sink + f.write(layout);
               },
               21));
    Report("ReadPosFile", Millis([&] { ReadPosFile(pos); }, 21), "QFile readAll of the same file",
           Millis(
               [&] {
                   QFile f(pos);
                   if (f.open(QIODevice::ReadOnly)) sink = sink + f.readAll().size();
               },
               21));
    const QString txt = dir.filePath(QStringLiteral("bench.txt"));
    Report("SaveTextFile, Windows-1251 (3 MB)",
           Millis([&] { SaveTextFile(txt, text, TTextEncoding::Windows1251); }),
           "QFile write of the same bytes", Millis([&] {
               QFile f(plain);
               if (f.open(QIODevice::WriteOnly)) sink = sink + f.write(cp1251);
           }));
    return sink == -1 ? 1 : 0;
}
