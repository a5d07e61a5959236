#include "ScreenPictureSize.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

#include "JpegDecoder.h"

QSize ScreenPictureDecodeSize() {
    double ratio = 1.0;
    for (const QScreen* screen : QGuiApplication::screens())
        ratio = std::max(ratio, screen->devicePixelRatio());
    return PictureDecodeSize(ratio);
}
