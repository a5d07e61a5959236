// The chord typed from RichEdit1 reaches a focused window on a real X server: an Xvfb of the
// test's own, on a display number the server picks free, stopped when the test ends.
#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>

namespace {

class TXvfb {
  public:
    // Empty Display() when the server did not come up; Error() says why.
    TXvfb() {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (program.isEmpty()) {
            error_ = QStringLiteral("Xvfb not found (package xvfb)");
            return;
        }
        // -displayfd 1: the server takes the first free display and prints its number when ready.
        server_.start(program, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                                QStringLiteral("0"), QStringLiteral("1024x768x24"),
                                QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        if (!server_.waitForStarted(10000)) {
            error_ = QStringLiteral("Xvfb did not start");
            return;
        }
        QByteArray out;
        while (!out.contains('\n') && server_.waitForReadyRead(20000)) out += server_.readAllStandardOutput();
        bool ok = false;
        const int number = out.trimmed().toInt(&ok);
        if (!ok) {
            error_ = QStringLiteral("Xvfb gave no display: ") +
                     QString::fromLocal8Bit(server_.readAllStandardError());
            return;
        }
        display_ = QStringLiteral(":%1").arg(number);
    }
    ~TXvfb() {
        if (server_.state() == QProcess::NotRunning) return;
        server_.terminate();
        if (!server_.waitForFinished(5000)) {
            server_.kill();
            server_.waitForFinished(5000);
        }
    }
    QString Display() const { return display_; }
    QString Error() const { return error_; }

  private:
    QProcess server_;
    QString display_;
    QString error_;
};

TEST(XKeysTest, ChordReachesTheFocusedWindowOnXvfb) {
    TXvfb xvfb;
    ASSERT_FALSE(xvfb.Display().isEmpty()) << xvfb.Error().toStdString();

    QProcess probe;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), xvfb.Display());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("LSAN_OPTIONS"), QStringLiteral("suppressions=" SORVELLE_XKEYS_SUPPRESSIONS));
    probe.setProcessEnvironment(env);
    probe.start(QStringLiteral(SORVELLE_XKEYS_PROBE), {});
    ASSERT_TRUE(probe.waitForStarted(10000));
    ASSERT_TRUE(probe.waitForFinished(120000));
    const QString out = QString::fromLocal8Bit(probe.readAllStandardOutput());
    const QString err = QString::fromLocal8Bit(probe.readAllStandardError());
    ASSERT_EQ(probe.exitStatus(), QProcess::NormalExit) << out.toStdString() << err.toStdString();
    ASSERT_EQ(probe.exitCode(), 0) << out.toStdString() << err.toStdString();

    const QStringList expected{
        QStringLiteral("clipboard: beta"),      QStringLiteral("key: press Control"),
        QStringLiteral("key: press C"),         QStringLiteral("key: release C"),
        QStringLiteral("key: press C"),         QStringLiteral("key: release C"),
        QStringLiteral("key: release Control"),
    };
    EXPECT_EQ(out.split(QLatin1Char('\n'), Qt::SkipEmptyParts), expected) << err.toStdString();
}

}  // namespace
