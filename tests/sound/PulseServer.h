#pragma once
// A private PulseAudio daemon for one test: a null sink whose monitor can be recorded, reachable
// only through its own socket in a temporary folder. Stopped, with everything it started, when
// the object goes.

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>
#include <memory>

class PulseServer {
  public:
    static constexpr int Rate = 44100;  // the null sink's format: s16le, stereo
    static constexpr int Channels = 2;

    PulseServer();
    ~PulseServer();

    // True when pulseaudio and its clients are on the PATH.
    static bool Installed();

    // Starts the daemon and keeps its null sink running; false with a reason when it does not come up.
    bool Start(QString& why);
    // The value of PULSE_SERVER that reaches the daemon.
    QString Address() const;
    // An environment in which a client reaches only this daemon.
    QProcessEnvironment ClientEnvironment() const;

    // Stops the daemon in its tracks (SIGSTOP), as a server that hangs; Thaw lets it go on.
    void Freeze();
    void Thaw();

    // Records the null sink's monitor into a file until StopRecording.
    bool StartRecording(QString& why);
    // Ends the recording and returns the raw s16le stereo samples taken.
    QByteArray StopRecording();

  private:
    void Stop(QProcess* process, int signal);

    QTemporaryDir dir_;
    std::unique_ptr<QProcess> daemon_;
    std::unique_ptr<QProcess> keepAlive_;  // plays silence so the monitor delivers continuously
    std::unique_ptr<QProcess> recorder_;
};
