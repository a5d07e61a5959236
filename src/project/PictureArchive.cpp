#include "PictureArchive.h"

#include "EditorState.h"

void OpenArchive() {}

void AppendPicture(const QString& pictureFileName) { (void)pictureFileName; }

void LoadPictures() {}
