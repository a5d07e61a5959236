#include "ProjectRecovery.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QPointer>
#include <QStandardPaths>
#include <QTextDocument>
#include <QTimer>
#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <vector>

#include "EditorState.h"
#include "ExceptionDialog.h"
#include "FileError.h"
#include "PictureArchive.h"
#include "ProjectBaseline.h"
#include "ProjectFiles.h"
#include "ProjectLock.h"
#include "RecoveryDialogs.h"
#include "RecoverySnapshot.h"
#include "SnapshotWriter.h"
#include "TAddItemsForm.h"

namespace {

int Interval = DefaultRecoveryInterval;

static_assert(sizeof(TItemRec) == 24, "records compare as bytes");
using TItems = std::array<TItemRec, ItemTableSize>;

bool SameItems(const TItems& items) { return std::memcmp(items.data(), ItemTable, sizeof ItemTable) == 0; }

QString FileNameOf(const QString& path) { return QFileInfo(path).fileName(); }

// The recovery state of one window: a child of the window, made by its first Open.
class TProjectRecovery : public QObject {
  public:
    explicit TProjectRecovery(TAddItemsForm& form);
    ~TProjectRecovery() override;

    static TProjectRecovery& Of(TAddItemsForm& form);
    static TProjectRecovery* Find(const TAddItemsForm& form);

    void BeginOpen(const QString& chosen);
    void EndOpen(const QString& chosen);
    bool ReadOnly() const { return readOnly_; }
    void Tick();
    // Writes the snapshot at once if there is unsaved work, even when nothing changed since the
    // last one.
    void Rewrite() {
        evaluated_ = false;
        Tick();
    }
    void RemoveSnapshot();
    void Close();
    void BeforeExit();
    void WaitForWrites() {
        if (writer_) writer_->Wait();
    }

  private:
    void WatchDocuments();
    // The texts as the documents hold them; SnapshotPreparation makes them what a save writes.
    TRecoverySnapshot Capture() const;
    TSnapshotWriter::TPrepare SnapshotPreparation() const;
    void OfferRestore(const QString& chosen);
    void SetAside(const QString& path, const QString& chosen);
    void Restore(const TRecoverySnapshot& snapshot);
    void WriteFinished(bool written);

    TAddItemsForm& form_;
    QTimer timer_;
    TProjectLock lock_;
    QString lockedKey_;  // the project lock_ holds
    QString folder_;     // the recovery folder of the project being opened or open
    QString openingKey_;
    // The open project's key; empty while no project is open here, while it opens, and while it
    // is read-only: no snapshot is written then.
    QString key_;
    QByteArray resolvedName_;  // the open project's text, every link followed
    bool readOnly_ = false;
    bool wrote_ = false;  // a snapshot of this window's work is on disk or on its way there
    // What the last tick looked at: nothing changed since, and the disk holds what it decided.
    bool evaluated_ = false;
    quint64 changes_ = 0;  // edits of either text, counted by their documents
    quint64 evaluatedChanges_ = 0;
    TItems evaluatedItems_{};
    bool failureShown_ = false;  // one message per run of failed writes
    std::atomic<bool> lastWriteFailed_{false};
    std::array<QPointer<QTextDocument>, 2> documents_;
    std::unique_ptr<TSnapshotWriter> writer_;
};

// The windows' recovery states; a window has one from its first Open until it is destroyed.
std::vector<TProjectRecovery*> Recoveries;

TProjectRecovery::TProjectRecovery(TAddItemsForm& form) : QObject(&form), form_(form) {
    Recoveries.push_back(this);
    connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
    writer_ = std::make_unique<TSnapshotWriter>([this](const QString&, bool written) {
        lastWriteFailed_ = !written;
        QMetaObject::invokeMethod(
            this, [this, written] { WriteFinished(written); }, Qt::QueuedConnection);
    });
}

TProjectRecovery::~TProjectRecovery() {
    // The last write finishes before this object goes; its report is dropped with the object.
    writer_.reset();
    Recoveries.erase(std::remove(Recoveries.begin(), Recoveries.end(), this), Recoveries.end());
}

TProjectRecovery& TProjectRecovery::Of(TAddItemsForm& form) {
    if (TProjectRecovery* found = Find(form)) return *found;
    return *new TProjectRecovery(form);
}

TProjectRecovery* TProjectRecovery::Find(const TAddItemsForm& form) {
    for (TProjectRecovery* recovery : Recoveries) {
        if (&recovery->form_ == &form) return recovery;
    }
    return nullptr;
}

void TProjectRecovery::BeginOpen(const QString& chosen) {
    timer_.stop();
    key_.clear();
    wrote_ = false;
    openingKey_ = RecoveryKey(chosen);
    folder_ = RecoveryFolder();
    if (lock_.Held() && lockedKey_ == openingKey_) {
        readOnly_ = false;
        return;
    }
    lock_.Release();
    lockedKey_.clear();
    const TLockResult result = !folder_.isEmpty() && MakePrivateFolder(folder_)
                                   ? lock_.Acquire(LockPath(folder_, openingKey_))
                                   : TLockResult::Unavailable;
    // Without a lock of its own (no recovery folder, no locks on its file system) the archive's
    // lock still tells.
    readOnly_ = result == TLockResult::Busy;
    if (result == TLockResult::Held) lockedKey_ = openingKey_;
}

void TProjectRecovery::EndOpen(const QString& chosen) {
    // Another program's lock on the archive tells as much as another window's lock.
    if (ArchiveReadOnly()) readOnly_ = true;
    if (readOnly_) {
        MakeArchiveReadOnly();
        lock_.Release();
        lockedKey_.clear();
        ShowRecoveryNotice(&form_,
                           QStringLiteral("%1 is open in another Sorvelle window. It opens here read-only.")
                               .arg(FileNameOf(chosen)),
                           true);
        return;
    }
    key_ = openingKey_;
    resolvedName_ = ResolvedTextName(chosen);
    evaluated_ = false;
    failureShown_ = false;
    if (lock_.Held()) RemoveStaleSnapshotTemporaries(folder_, key_);
    // The work is offered only to a project that got as far as its segment table and archive:
    // records restored into a half-opened one could be saved under another project's name.
    const bool loaded = EditorState.ArchiveName == CompanionName(chosen, QStringLiteral("ims"));
    struct TStartTimer {
        TProjectRecovery& recovery;
        ~TStartTimer() { recovery.timer_.start(Interval); }
    } start{*this};
    if (loaded) OfferRestore(chosen);
}

void TProjectRecovery::OfferRestore(const QString& chosen) {
    const QString path = SnapshotPath(folder_, key_);
    TRecoverySnapshot snapshot;
    switch (ReadSnapshotFile(path, &snapshot)) {
        case TSnapshotRead::Missing:
            return;
        case TSnapshotRead::Unreadable:
        case TSnapshotRead::Damaged:
            return SetAside(path, chosen);
        case TSnapshotRead::Found:
            break;
    }
    // Another project whose name hashes alike: not this one's to offer or to remove.
    if (snapshot.TextName != resolvedName_) return;
    // Work saved after the snapshot was taken (or files written by another program since) is
    // newer than the snapshot, which is then not offered.
    for (const QString& name : {chosen, CompanionName(chosen, QStringLiteral("txr")),
                                CompanionName(chosen, QStringLiteral("pos"))}) {
        const QFileInfo info(name);
        if (info.exists() && info.lastModified().toMSecsSinceEpoch() > snapshot.TimeMs) return;
    }
    const QString when = QLocale().toString(QDateTime::fromMSecsSinceEpoch(snapshot.TimeMs).toLocalTime(),
                                            QLocale::ShortFormat);
    const QString question =
        QStringLiteral("Unsaved work on %1 from %2 was found. Restore it?").arg(FileNameOf(chosen), when);
    if (AskRestore(&form_, question) == TRestoreAnswer::Discard) {
        QFile::remove(path);
        return;
    }
    Restore(snapshot);
    // From here the snapshot is this window's work: it goes when the work is saved or let go.
    wrote_ = true;
}

void TProjectRecovery::SetAside(const QString& path, const QString& chosen) {
    const QString aside = path + QStringLiteral(".bad");
    // rename(2) replaces an older damaged one.
    const bool moved =
        ::rename(QFile::encodeName(path).constData(), QFile::encodeName(aside).constData()) == 0;
    ShowRecoveryNotice(
        &form_,
        moved ? QStringLiteral("The unsaved work found for %1 is damaged and cannot be restored; "
                               "it was set aside as %2.")
                    .arg(FileNameOf(chosen), aside)
              : QStringLiteral("The unsaved work found for %1 is damaged and cannot be restored "
                               "(%2).")
                    .arg(FileNameOf(chosen), path),
        true);
}

void TProjectRecovery::Restore(const TRecoverySnapshot& snapshot) {
    // The texts first: whatever follows a change of the text must not move the records after
    // they are put back.
    TTextFormat text{snapshot.TextEncoding, 0};
    form_.Memo1->setPlainText(ToEditorText(snapshot.Text, text));
    form_.Memo1->Format = text;
    TTextFormat second{snapshot.SecondEncoding, 0};
    form_.Memo2->setPlainText(ToEditorText(snapshot.SecondText, second));
    form_.Memo2->Format = second;
    std::copy(snapshot.Items.begin(), snapshot.Items.end(), ItemTable);
    form_.SntImsView->update();
}

void TProjectRecovery::WatchDocuments() {
    QTextDocument* now[2] = {form_.Memo1->document(), form_.Memo2->document()};
    for (size_t i = 0; i < documents_.size(); ++i) {
        if (documents_[i] == now[i]) continue;
        if (documents_[i]) disconnect(documents_[i], nullptr, this, nullptr);
        documents_[i] = now[i];
        connect(now[i], &QTextDocument::contentsChange, this, [this] { ++changes_; });
        ++changes_;
    }
}

TRecoverySnapshot TProjectRecovery::Capture() const {
    TRecoverySnapshot s;
    s.TextName = resolvedName_;
    s.TimeMs = QDateTime::currentMSecsSinceEpoch();
    s.Text = form_.Memo1->document()->toRawText();
    s.TextEncoding = form_.Memo1->Format.encoding;
    s.SecondText = form_.Memo2->document()->toRawText();
    s.SecondEncoding = form_.Memo2->Format.encoding;
    std::copy(std::begin(ItemTable), std::end(ItemTable), s.Items.begin());
    return s;
}

TSnapshotWriter::TPrepare TProjectRecovery::SnapshotPreparation() const {
    return [text = form_.Memo1->Format, second = form_.Memo2->Format](TRecoverySnapshot& s) {
        s.Text = FromEditorText(MemoTextOfRaw(std::move(s.Text)), text);
        s.SecondText = FromEditorText(MemoTextOfRaw(std::move(s.SecondText)), second);
    };
}

void TProjectRecovery::Tick() {
    if (key_.isEmpty() || readOnly_) return;
    try {
        WatchDocuments();
        // Nothing typed and no record changed since the last look: the disk holds what it decided.
        if (evaluated_ && changes_ == evaluatedChanges_ && SameItems(evaluatedItems_)) return;
        evaluated_ = true;
        evaluatedChanges_ = changes_;
        std::copy(std::begin(ItemTable), std::end(ItemTable), evaluatedItems_.begin());
        if (ProjectChanged(form_)) {
            writer_->Write(folder_, SnapshotPath(folder_, key_), Capture(), SnapshotPreparation());
            wrote_ = true;
        } else if (wrote_) {
            // Typed and taken back again: the files hold the work.
            RemoveSnapshot();
        }
    } catch (...) {
        // Out of memory for the copy: like a write that failed, and tried again next time.
        WriteFinished(false);
    }
}

void TProjectRecovery::RemoveSnapshot() {
    if (key_.isEmpty()) return;
    writer_->Wait();
    QFile::remove(SnapshotPath(folder_, key_));
    wrote_ = false;
    evaluated_ = false;
}

void TProjectRecovery::WriteFinished(bool written) {
    if (SnapshotWriteObserver) SnapshotWriteObserver(written);
    if (written) {
        failureShown_ = false;
        return;
    }
    evaluated_ = false;
    if (failureShown_ || key_.isEmpty()) return;
    failureShown_ = true;
    ShowRecoveryNotice(
        &form_,
        QStringLiteral("Cannot write the recovery file %1 (is the disk full?). Until it can be "
                       "written, unsaved work on %2 is lost if Sorvelle ends unexpectedly.")
            .arg(SnapshotPath(folder_, key_), FileNameOf(TextName)),
        false);
}

void TProjectRecovery::Close() {
    timer_.stop();
    writer_->Wait();
    key_.clear();
    readOnly_ = false;
    lock_.Release();
    lockedKey_.clear();
}

void TProjectRecovery::BeforeExit() {
    timer_.stop();
    // A full look, whatever the last tick saw.
    evaluated_ = false;
    Tick();
    writer_->Wait();
    if (lastWriteFailed_ && !key_.isEmpty()) {
        std::fprintf(stderr, "sorvelle: cannot write the recovery file %s\n",
                     QFile::encodeName(SnapshotPath(folder_, key_)).constData());
    }
}

}  // namespace

TOpenRecovery::TOpenRecovery(TAddItemsForm& form, const QString& chosen) : form_(form), chosen_(chosen) {
    TProjectRecovery::Of(form_).BeginOpen(chosen_);
}

TOpenRecovery::~TOpenRecovery() {
    // Runs as the open command ends, also when it ends on a failure: the questions are asked, and
    // whatever fails in them is shown, without letting anything out of a destructor.
    ShowExceptionsOf([this] { TProjectRecovery::Of(form_).EndOpen(chosen_); });
}

bool ProjectReadOnly(const TAddItemsForm& form) {
    const TProjectRecovery* recovery = TProjectRecovery::Find(form);
    return recovery != nullptr && recovery->ReadOnly();
}

void CheckProjectWritable(const TAddItemsForm& form) {
    if (!ProjectReadOnly(form)) return;
    throw EFileError(
        QStringLiteral("%1 is open in another Sorvelle window; save it there.").arg(FileNameOf(TextName)));
}

bool AskDiscardReadOnlyChanges(TAddItemsForm& form) {
    return AskDiscardUnsavable(&form, QStringLiteral("%1 is open in another Sorvelle window, so the changes "
                                                     "made here cannot be saved. Discard them?")
                                          .arg(FileNameOf(TextName)));
}

void ProjectSaved(TAddItemsForm& form) {
    if (TProjectRecovery* recovery = TProjectRecovery::Find(form)) recovery->RemoveSnapshot();
}

void ProjectSaveFailed(TAddItemsForm& form) {
    if (TProjectRecovery* recovery = TProjectRecovery::Find(form)) recovery->Rewrite();
}

bool ProjectDropped(TAddItemsForm& form) {
    ProjectSaved(form);
    return true;
}

void ProjectClosed(TAddItemsForm& form) {
    if (TProjectRecovery* recovery = TProjectRecovery::Find(form)) recovery->Close();
}

void SnapshotBeforeExit(TAddItemsForm& form) {
    if (TProjectRecovery* recovery = TProjectRecovery::Find(form)) recovery->BeforeExit();
}

QString RecoveryFolder() {
    if (!RecoveryFolderOverride.isEmpty()) return RecoveryFolderOverride;
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    return data.isEmpty() ? QString() : data + QStringLiteral("/recovery");
}

QString SnapshotPathFor(const QString& textName) {
    return SnapshotPath(RecoveryFolder(), RecoveryKey(textName));
}

void SetRecoveryInterval(int milliseconds) { Interval = milliseconds; }

int RecoveryInterval() { return Interval; }

void RunRecoveryTick(TAddItemsForm& form) {
    if (TProjectRecovery* recovery = TProjectRecovery::Find(form)) recovery->Tick();
}

void WaitForSnapshotWrites(TAddItemsForm& form) {
    if (TProjectRecovery* recovery = TProjectRecovery::Find(form)) recovery->WaitForWrites();
}
