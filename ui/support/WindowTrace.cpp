#include "WindowTrace.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QMainWindow>
#include <QMessageBox>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <ctime>

namespace moratutor::ui {
namespace {

std::FILE* g_trace = nullptr;

long long Now() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1'000'000'000LL + ts.tv_nsec;
}

// Where every named, visible control of a window is, in screen coordinates.
void WriteGeometry(QWidget* window) {
    const auto children = window->findChildren<QWidget*>();
    for (QWidget* w : children) {
        if (w->objectName().isEmpty() || !w->isVisible()) continue;
        const QPoint at = w->mapToGlobal(QPoint(0, 0));
        std::fprintf(g_trace, "%lld geom %s %d %d %d %d\n", Now(), w->objectName().toUtf8().constData(), at.x(),
                     at.y(), w->width(), w->height());
    }
}

class Tracer : public QObject {
public:
    explicit Tracer(QObject* parent) : QObject(parent) {
        // A 5 ms tick that arrives late tells how long the event loop was kept from input.
        stallTimer_.setTimerType(Qt::PreciseTimer);
        connect(&stallTimer_, &QTimer::timeout, this, [this] {
            const long long now = Now();
            if (lastTick_ && now - lastTick_ > 40'000'000LL)
                std::fprintf(g_trace, "%lld stall %lld\n", now, (now - lastTick_) / 1'000'000LL);
            lastTick_ = now;
        });
        stallTimer_.start(5);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!watched->isWidgetType()) return false;
        auto* widget = static_cast<QWidget*>(watched);
        if (event->type() == QEvent::Paint) {
            auto* pane = widget->parentWidget() ? qobject_cast<QTextEdit*>(widget->parentWidget()) : nullptr;
            if (pane && pane->viewport() == widget) {
                std::fprintf(g_trace, "%lld paint %s %d\n", Now(), pane->objectName().toUtf8().constData(),
                             pane->document()->characterCount());
            } else if (qobject_cast<QMessageBox*>(widget)) {
                std::fprintf(g_trace, "%lld paint messagebox\n", Now());
            } else if (qobject_cast<QMainWindow*>(widget->window())) {
                std::fprintf(g_trace, "%lld paint window\n", Now());
            }
        } else if ((event->type() == QEvent::Show || event->type() == QEvent::Move || event->type() == QEvent::Resize) &&
                   widget->isWindow()) {
            std::fprintf(g_trace, "%lld show %s\n", Now(), widget->metaObject()->className());
            // After the window manager has placed it.
            QTimer::singleShot(200, widget, [widget] { WriteGeometry(widget); });
        } else if (event->type() == QEvent::Hide && widget->isWindow()) {
            std::fprintf(g_trace, "%lld hide %s\n", Now(), widget->metaObject()->className());
        }
        return false;
    }

private:
    QTimer stallTimer_;
    long long lastTick_ = 0;
};

}  // namespace

void InstallWindowTrace(QApplication& app) {
    const QByteArray path = qgetenv("MORATUTOR_TRACE");
    if (path.isEmpty()) return;
    g_trace = std::fopen(path.constData(), "w");
    if (!g_trace) return;
    std::setvbuf(g_trace, nullptr, _IOLBF, 0);
    app.installEventFilter(new Tracer(&app));
}

void TraceNote(const char* what) {
    if (g_trace) std::fprintf(g_trace, "%lld %s\n", Now(), what);
}

}  // namespace moratutor::ui
