#pragma once
// Painting of the two picture strips as plain functions on a QPainter, so that they render into
// any paint device. Cell d of a strip h pixels high covers x = d*w .. (d+1)*w - 1 with
// w = h * 1.5 truncated; a picture is stretched into it without regard to its proportions.

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QSize>
#include <array>
#include <cstdint>

#include "EditorState.h"

using TPictureTable = std::array<QImage, PictureTableSize>;

int StripCellWidth(int height);

// The picture number under x in the archive strip: stripStart + x / w, truncated toward zero.
int64_t StripPictureAt(int x, int height, int32_t stripStart);

// The archive strip: pictures stripStart .. pictureCount - 1 (never past the table), each
// labelled "%i", the chosen one framed in red 2 pixels wide. Labels are drawn in the painter's
// font on the background colour. Cells beyond size's width are not drawn.
void PaintArchiveStrip(QPainter& painter,
                       QSize size,
                       const QColor& background,
                       int32_t stripStart,
                       int32_t pictureCount,
                       int32_t chosenPicture,
                       const TPictureTable& pictures);

// The line strip of one item record (none for a line without a record): its first PicCount
// pictures, labelled " %i %i " (position, picture number). A PicCount outside 0 .. 5 shows what
// lies in range; a picture number outside the table shows its label only.
void PaintLineStrip(QPainter& painter,
                    QSize size,
                    const QColor& background,
                    const TItemRec* record,
                    const TPictureTable& pictures);

// How many entries of Pics a record shows: PicCount limited to 0 .. 5.
int ShownPictureCount(const TItemRec& record);
