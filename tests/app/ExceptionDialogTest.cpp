// The application-wide exception dialog.
#include <QMessageBox>
#include <QTimer>
#include <new>
#include <stdexcept>

#include "FileError.h"
#include "WindowTest.h"

TEST(ExceptionText, AppendsAFullStopAfterCharactersThatSortAfterIt) {
    EXPECT_EQ(ExceptionText(QStringLiteral("Cannot open file a.txt")),
              QStringLiteral("Cannot open file a.txt."));
    EXPECT_EQ(ExceptionText(QStringLiteral("Done.")), QStringLiteral("Done."));
    EXPECT_EQ(ExceptionText(QStringLiteral("Why?")), QStringLiteral("Why?."));
    EXPECT_EQ(ExceptionText(QStringLiteral("Wow!")), QStringLiteral("Wow!"));
    EXPECT_EQ(ExceptionText(QStringLiteral("Cannot create file ")), QStringLiteral("Cannot create file "));
    EXPECT_EQ(ExceptionText(QStringLiteral("ends in /")), QStringLiteral("ends in /."));
    EXPECT_EQ(ExceptionText(QStringLiteral("ends in -")), QStringLiteral("ends in -"));
    EXPECT_EQ(ExceptionText(QString()), QString());
}

TEST(RunHandler, AnExceptionEndsTheHandlerAndIsShown) {
    QStringList shown;
    ExceptionDialogOverride = [&](const QString& m) { shown << m; };
    bool after = false;
    RunHandler([&] {
        throw EFileError(QStringLiteral("Cannot open file x"));
        after = true;
    });
    RunHandler([] { throw std::bad_alloc(); });
    RunHandler([] { throw std::runtime_error("plain"); });
    RunHandler([] { throw 42; });
    int runs = 0;
    RunHandler([&] { ++runs; });
    ExceptionDialogOverride = nullptr;
    EXPECT_FALSE(after);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(shown, (QStringList{QStringLiteral("Cannot open file x."), QStringLiteral("Out of memory."),
                                  QStringLiteral("plain."), QStringLiteral("Unknown error.")}));
}

TEST(ShowException, ShowsAnErrorBoxTitledSorvelle) {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        box->button(QMessageBox::Ok)->click();
    });
    ShowException(QStringLiteral("Cannot open file b.txt"));
    EXPECT_EQ(title, QStringLiteral("Sorvelle"));
    EXPECT_EQ(text, QStringLiteral("Cannot open file b.txt."));
    EXPECT_EQ(icon, QMessageBox::Critical);
}
