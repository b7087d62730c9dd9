#include "MessageBoxes.h"

#include <QApplication>

namespace moratutor::ui {
namespace {
MessageSink& Sink() {
    static MessageSink sink;
    return sink;
}
}  // namespace

QString ApplicationTitle() { return QCoreApplication::applicationName(); }

QString ErrorBoxText(const QString& message) {
    if (!message.isEmpty() && message.back().unicode() > u'.') return message + u'.';
    return message;
}

void ShowMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& text) {
    if (Sink()) {
        Sink()(icon, ApplicationTitle(), text);
        return;
    }
    QMessageBox box(icon, ApplicationTitle(), text, QMessageBox::Ok, parent);
    box.exec();
}

void ShowErrorBox(const QString& message) {
    ShowMessageBox(QApplication::activeWindow(), QMessageBox::Critical, ErrorBoxText(message));
}

void RunGuarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        ShowErrorBox(QString::fromUtf8(e.what()));
    } catch (...) {
        ShowErrorBox(QString());
    }
}

void SetMessageSink(MessageSink sink) { Sink() = std::move(sink); }

}  // namespace moratutor::ui
