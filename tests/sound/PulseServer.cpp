#include "PulseServer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>
#include <csignal>

namespace {
const char* const SinkName = "sorvelle_null";
}

PulseServer::PulseServer() = default;

PulseServer::~PulseServer() {
    Thaw();
    Stop(recorder_.get(), SIGINT);
    Stop(keepAlive_.get(), SIGTERM);
    Stop(daemon_.get(), SIGTERM);
}

bool PulseServer::Installed() {
    for (const char* tool : {"pulseaudio", "pactl", "pacat", "parec"}) {
        if (QStandardPaths::findExecutable(tool).isEmpty()) return false;
    }
    return true;
}

QString PulseServer::Address() const { return "unix:" + dir_.filePath("native"); }

QProcessEnvironment PulseServer::ClientEnvironment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PULSE_SERVER", Address());
    env.insert("HOME", dir_.path());
    env.insert("XDG_RUNTIME_DIR", dir_.path());
    env.insert("PULSE_RUNTIME_PATH", dir_.path());
    env.remove("PULSE_SINK");
    return env;
}

bool PulseServer::Start(QString& why) {
    if (!dir_.isValid()) {
        why = "no temporary folder";
        return false;
    }
    daemon_ = std::make_unique<QProcess>();
    daemon_->setProcessEnvironment(ClientEnvironment());
    daemon_->setProcessChannelMode(QProcess::MergedChannels);
    daemon_->setStandardOutputFile(dir_.filePath("daemon.log"));
    // -n: no configuration, only the two modules below. As root the daemon warns and still runs
    // as a per-user server in this folder (system mode would need a pulse user and D-Bus); it
    // stays in the foreground, as this process's child, and never exits on its own.
    daemon_->start(
        "pulseaudio",
        {"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=false", "--disable-shm=true",
         "--log-target=stderr", "-L",
         QString("module-null-sink sink_name=%1 rate=%2 channels=%3").arg(SinkName).arg(Rate).arg(Channels),
         "-L", "module-native-protocol-unix auth-anonymous=1 socket=" + dir_.filePath("native")});
    if (!daemon_->waitForStarted(10000)) {
        why = "pulseaudio did not start: " + daemon_->errorString();
        return false;
    }
    QElapsedTimer waited;
    waited.start();
    bool up = false;
    while (!up && waited.elapsed() < 15000 && daemon_->state() == QProcess::Running) {
        QProcess info;
        info.setProcessEnvironment(ClientEnvironment());
        info.start("pactl", {"info"});
        up = info.waitForFinished(5000) && info.exitStatus() == QProcess::NormalExit && info.exitCode() == 0;
        if (!up) QThread::msleep(100);
    }
    if (!up) {
        QFile log(dir_.filePath("daemon.log"));
        log.open(QIODevice::ReadOnly);
        why = "pulseaudio did not answer: " + QString::fromLocal8Bit(log.readAll());
        return false;
    }
    keepAlive_ = std::make_unique<QProcess>();
    keepAlive_->setProcessEnvironment(ClientEnvironment());
    keepAlive_->setStandardInputFile("/dev/zero");
    keepAlive_->start("pacat",
                      {"--playback", "-d", SinkName, "--format=s16le", QString("--rate=%1").arg(Rate),
                       QString("--channels=%1").arg(Channels), "--latency-msec=20"});
    if (!keepAlive_->waitForStarted(5000)) {
        why = "pacat did not start";
        return false;
    }
    return true;
}

void PulseServer::Freeze() {
    if (daemon_ && daemon_->state() == QProcess::Running) ::kill(pid_t(daemon_->processId()), SIGSTOP);
}

void PulseServer::Thaw() {
    if (daemon_ && daemon_->state() == QProcess::Running) ::kill(pid_t(daemon_->processId()), SIGCONT);
}

bool PulseServer::StartRecording(QString& why) {
    recorder_ = std::make_unique<QProcess>();
    recorder_->setProcessEnvironment(ClientEnvironment());
    recorder_->setStandardOutputFile(dir_.filePath("monitor.raw"));
    recorder_->start("parec",
                     {"-d", QString(SinkName) + ".monitor", "--format=s16le", QString("--rate=%1").arg(Rate),
                      QString("--channels=%1").arg(Channels), "--latency-msec=10"});
    if (!recorder_->waitForStarted(5000)) {
        why = "parec did not start";
        return false;
    }
    // The recording is under way once the first bytes arrive.
    QElapsedTimer waited;
    waited.start();
    while (QFile(dir_.filePath("monitor.raw")).size() == 0 && waited.elapsed() < 10000) QThread::msleep(20);
    if (QFile(dir_.filePath("monitor.raw")).size() == 0) {
        why = "parec records nothing";
        return false;
    }
    return true;
}

QByteArray PulseServer::StopRecording() {
    Stop(recorder_.get(), SIGINT);
    recorder_.reset();
    QFile raw(dir_.filePath("monitor.raw"));
    if (!raw.open(QIODevice::ReadOnly)) return {};
    return raw.readAll();
}

void PulseServer::Stop(QProcess* process, int signal) {
    if (!process || process->state() == QProcess::NotRunning) return;
    ::kill(pid_t(process->processId()), signal);
    if (!process->waitForFinished(5000)) {
        process->kill();
        process->waitForFinished(5000);
    }
}
