#pragma once
// A small tmpfs mounted by a test (root or CAP_SYS_ADMIN only) to make writes fail like on a full
// or read-only disk. Unmounted, and its folder removed, when the owner goes.

#include <QString>
#include <QStringList>

class TTmpfsMount {
  public:
    explicit TTmpfsMount(qint64 sizeBytes);
    ~TTmpfsMount();
    TTmpfsMount(const TTmpfsMount&) = delete;
    TTmpfsMount& operator=(const TTmpfsMount&) = delete;

    bool Mounted() const { return mounted_; }
    // Why the mount failed, for the skip message.
    QString Error() const { return error_; }
    QString Path() const { return path_; }
    QString FilePath(const QString& name) const { return path_ + QLatin1Char('/') + name; }

    bool RemountReadOnly();
    // Writes 4096-byte filler files until the file system refuses one; returns how many fit.
    int FillUp();
    // Removes that many fillers: that many pages become free again.
    void FreeFillers(int count);
    // The files in the folder that are not fillers.
    QStringList Files() const;

  private:
    QString path_;
    QString error_;
    bool mounted_ = false;
    QStringList fillers_;
};
