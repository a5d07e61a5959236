// The waveform view: drawing, painting, clicks, and the view-change notification.
#include <utility>

#include "EditorState.h"
#include "ExceptionDialog.h"
#include "TAddItemsForm.h"
#include "WaveRenderer.h"

namespace {

const QRgb SegmentBandColour = qRgb(204, 229, 255);
const QRgb CaretBandColour = qRgb(204, 255, 204);
const QColor PlayCursorColour(0, 0, 255);

// Every stored segment (Flag 1) as a band labelled with its line; the caret line's last, on top.
std::vector<TWaveBand> OverlayBands(int caretLine) {
    std::vector<TWaveBand> bands;
    for (int line = 0; line < ItemTableSize; ++line) {
        const TItemRec& rec = ItemTable[line];
        if (rec.Flag != 1 || line == caretLine) continue;
        bands.push_back({rec.Start, rec.Finish, SegmentBandColour, QString::number(line)});
    }
    if (caretLine >= 0 && caretLine < ItemTableSize && ItemTable[caretLine].Flag == 1) {
        const TItemRec& rec = ItemTable[caretLine];
        bands.push_back({rec.Start, rec.Finish, CaretBandColour, QString::number(caretLine)});
    }
    return bands;
}

}  // namespace

void TAddItemsForm::DrawWave() {
    const int W = SoundView->width();
    const int H = SoundView->height();
    QImage* bitmap = EditorState.WaveBitmap;
    // Without a recording the bitmap keeps what it shows.
    if (!EditorState.Samples || !bitmap) return;
    if (bitmap->size() != QSize(W, H) || bitmap->format() != QImage::Format_RGB32) {
        *bitmap = QImage(W, H, QImage::Format_RGB32);
    }
    TWaveView view;
    view.Width = W;
    view.Height = H;
    view.ViewStart = EditorState.ViewStart;
    view.ViewSpan = EditorState.ViewSpan;
    view.SelStart = EditorState.SelStart;
    view.SelEnd = EditorState.SelEnd;
    if (OverlayShown()) view.Bands = OverlayBands(CaretLine(Memo1));
    RenderWave(*bitmap, EditorState.Samples, EditorState.SampleCount, view);
}

void TAddItemsForm::ClearWave() {
    QImage* bitmap = EditorState.WaveBitmap;
    if (!bitmap) return;
    *bitmap = QImage(SoundView->width(), SoundView->height(), QImage::Format_RGB32);
    bitmap->fill(Qt::white);
}

void TAddItemsForm::SoundViewPaint(QObject*) {
    QPainter* canvas = SoundView->Canvas();
    if (!canvas || !EditorState.WaveBitmap || EditorState.WaveBitmap->isNull()) return;
    canvas->drawImage(0, 0, *EditorState.WaveBitmap);
    // The playback cursor lies over the copy, never in the bitmap, so that moving it repaints
    // two columns and renders nothing.
    if (playCursorX_ >= 0 && OverlayShown()) {
        canvas->setPen(PlayCursorColour);
        canvas->drawLine(playCursorX_, 0, playCursorX_, SoundView->height() - 1);
    }
}

void TAddItemsForm::SoundViewMouseUp(QObject*, TMouseButton Button, TShiftState, int X, int) {
    if (Button != mbLeft) return;
    // Not limited to the recording: a release outside the view stores a position outside it.
    const int32_t s = PositionAt(X, SoundView->width(), EditorState.ViewSpan, EditorState.ViewStart);
    EditorState.MarkB = EditorState.MarkA;
    EditorState.MarkA = s;
    EditorState.SelStart = EditorState.MarkA;
    EditorState.SelEnd = EditorState.MarkB;
    if (EditorState.SelStart > EditorState.SelEnd) std::swap(EditorState.SelStart, EditorState.SelEnd);
    DrawWave();
    SoundView->repaint();
}

void TAddItemsForm::Panel5Resize(QObject*) {
    DrawWave();
    SoundView->repaint();
}

void TAddItemsForm::CheckBox1Click(QObject*) { ViewChanged(); }

void ViewChanged() {
    ClampView(EditorState.ViewStart, EditorState.ViewSpan);
    if (!AddItemsForm) return;
    AddItemsForm->DrawWave();
    AddItemsForm->SoundView->repaint();
}
