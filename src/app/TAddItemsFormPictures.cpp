// The two picture strips and their buttons.
#include <algorithm>
#include <cstdint>

#include "EditorState.h"
#include "PictureArchive.h"
#include "PictureStrip.h"
#include "ScreenPictureSize.h"
#include "TAddItemsForm.h"

namespace {

// The record of the caret line of Memo1; none from line 500 on.
TItemRec* CaretRecord(const TMemo* memo) {
    const int line = CaretLine(memo);
    if (line < 0 || line >= ItemTableSize) return nullptr;
    return &ItemTable[line];
}

}  // namespace

void TAddItemsForm::ImsViewPaint(QObject*) {
    QPainter* canvas = ImsView->Canvas();
    if (canvas == nullptr) return;
    PaintArchiveStrip(*canvas, ImsView->size(), ImsView->Color, EditorState.StripStart,
                      EditorState.PictureCount, EditorState.ChosenPicture, PictureTable);
}

void TAddItemsForm::ImsViewMouseUp(QObject*, TMouseButton, TShiftState, int X, int) {
    const int64_t picture = StripPictureAt(X, ImsView->height(), EditorState.StripStart);
    if (picture >= 0 && picture < EditorState.PictureCount)
        EditorState.ChosenPicture = static_cast<int32_t>(picture);
    ImsView->update();
}

void TAddItemsForm::SntImsViewPaint(QObject*) {
    QPainter* canvas = SntImsView->Canvas();
    if (canvas == nullptr) return;
    PaintLineStrip(*canvas, SntImsView->size(), SntImsView->Color, CaretRecord(Memo1), PictureTable);
}

void TAddItemsForm::SpeedButton1Click(QObject*) {
    OD2->Filter = QStringLiteral("*.jpg,*.jpeg|*.jpg;*.jpeg");
    if (!OD2->Execute()) return;
    SetPictureDecodeSize(ScreenPictureDecodeSize());
    AppendPicture(OD2->FileName);
    // Asked before loading: the repaint is due even when loading reports damaged pictures.
    ImsView->update();
    LoadPictures();
}

void TAddItemsForm::SpeedButton2Click(QObject*) {
    TItemRec* record = CaretRecord(Memo1);
    if (record == nullptr) return;
    // A count below 0 (from a foreign segment table) attaches at the first place.
    const int attached = std::max<int>(record->PicCount, 0);
    if (attached >= 5) return;
    RecordItemsChange(QStringLiteral("Attach picture %1").arg(EditorState.ChosenPicture), [record, attached] {
        record->Pics[attached] = static_cast<int16_t>(EditorState.ChosenPicture);
        record->PicCount = static_cast<int16_t>(attached + 1);
    });
    SntImsView->update();
}

void TAddItemsForm::SpeedButton3Click(QObject*) {
    TItemRec* record = CaretRecord(Memo1);
    if (record == nullptr || record->PicCount <= 0) return;
    // A count above 5 shows five pictures; "-" takes away the last one shown.
    RecordItemsChange(QStringLiteral("Detach picture"),
                      [record] { record->PicCount = static_cast<int16_t>(ShownPictureCount(*record) - 1); });
    SntImsView->update();
}

void TAddItemsForm::SpeedButton4Click(QObject*) {
    EditorState.StripStart = std::max(EditorState.StripStart - 10, 0);
    ImsView->update();
}

void TAddItemsForm::SpeedButton5Click(QObject*) {
    // No upper bound but the integer's own.
    if (EditorState.StripStart > INT32_MAX - 10) return;
    EditorState.StripStart += 10;
    ImsView->update();
}

void TAddItemsForm::ImsToLeft_SBClick(QObject*) {
    if (EditorState.StripStart <= 0) return;
    EditorState.StripStart -= 1;
    ImsView->update();
}

void TAddItemsForm::ImsToRightSBClick(QObject*) {
    if (EditorState.StripStart == INT32_MAX) return;
    EditorState.StripStart += 1;
    ImsView->update();
}
