// Placeholder so the tree builds; replaced by the real start-up.
#include <QApplication>

#include "UMain.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    TFMain w;
    w.show();
    return app.exec();
}
