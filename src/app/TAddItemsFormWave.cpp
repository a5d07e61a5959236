// The waveform view: drawing, painting, clicks, and the view-change notification.
#include <utility>

#include "EditorState.h"
#include "ExceptionDialog.h"
#include "TAddItemsForm.h"
#include "WaveRenderer.h"

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
