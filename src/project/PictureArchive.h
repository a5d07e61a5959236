#pragma once
// The picture archive: a 2008-byte header with 500 sizes, then JPEG files back to back.
// All three operations work on EditorState and PictureTable.

#include <QString>

void OpenArchive();
void AppendPicture(const QString& pictureFileName);
void LoadPictures();
