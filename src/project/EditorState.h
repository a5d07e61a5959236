#pragma once
// The editor's whole editing state: global, in static storage, read and written directly by the
// window's handlers. Sample positions are indices on the 11025-per-second timeline.

#include <QImage>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>

class TForScroll;
class TJpegImage;

struct TEditorState {
    int16_t* Samples = nullptr;  // the decoded recording, one channel; owned here, AllocateSamples by Decode
    int32_t SampleCount = 0;     // values in Samples; meaningful only while Samples is not null
    float ViewSpan = 100000.0f;  // positions across the full width of SoundView
    float ViewStart = 0.0f;      // position at the left edge of SoundView
    TForScroll* ZoomScroller = nullptr;  // created by the window, lives until the process ends
    TForScroll* PosScroller = nullptr;   // created by the window, lives until the process ends
    float ZoomFactor = 1.03f;            // step factor of the zoom handle, never changed
    int32_t SelStart = 0;                // SelStart <= SelEnd after a click in SoundView
    int32_t SelEnd = 0;
    int32_t MaxItems = 500;          // capacity of ItemTable and the record count written to a .pos
    int32_t MarkA = 0;               // last left click in SoundView
    int32_t MarkB = 0;               // the click before MarkA
    QString ArchiveName;             // stem + "ims"
    int ArchiveFile = -1;            // file descriptor of the open picture archive; -1 when none is open
    int32_t PictureCount = 0;        // pictures in the archive, as last read or written
    TJpegImage* TempJpeg = nullptr;  // the picture being decoded; set only inside LoadPictures
    QImage* WaveBitmap = nullptr;    // the rendered waveform; created by the window, never released
    int32_t StripStart = 0;          // picture number in the first cell of ImsView
    int32_t ChosenPicture = 0;       // picture framed in ImsView
};

// One record per text line: record i belongs to line i of Memo1, by line number only.
struct TItemRec {
    int32_t Flag;
    int32_t Start;
    int32_t Finish;
    int16_t PicCount;
    int16_t Pics[5];

    // constexpr, so the table in static storage is ready before any unit's start runs.
    constexpr TItemRec() : Flag(0), Start(0), Finish(0), PicCount(0), Pics{} {}
};

inline constexpr int ItemTableSize = 500;
inline constexpr int PictureTableSize = 500;

extern TEditorState EditorState;
extern TItemRec ItemTable[ItemTableSize];
// Decoded pictures indexed by picture number; a null QImage is an empty slot.
extern std::array<QImage, PictureTableSize> PictureTable;

// Names of the open project's files; empty until the first Open.
extern QString TextName;
extern QString TxrName;
extern QString PosName;

// Puts every global above back to the values of a fresh start: item records all zero, no
// archive open (an open one is closed), no samples. The window's scrollers and bitmap are kept.
void ResetEditorState();
