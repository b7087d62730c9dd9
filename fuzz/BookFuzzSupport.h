// What the book readers' fuzzers share: the application fonts need, and small limits so
// each input costs little.
#pragma once

#include "moratutor/books/BookLimits.h"

#include <QGuiApplication>

namespace moratutor::fuzzing {

inline void StartApplication(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication* app = new QGuiApplication(*argc, *argv);
    (void)app;
}

inline books::BookReadLimits SmallLimits() {
    books::BookReadLimits limits;
    limits.MaxBytes = 1 << 20;
    limits.MaxUnpackedBytes = 4 << 20;
    limits.MaxHtmlBytes = 1 << 20;
    limits.MaxParagraphs = 100'000;
    limits.MaxCharacters = 4 << 20;
    return limits;
}

}  // namespace moratutor::fuzzing
