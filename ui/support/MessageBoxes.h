// The program's message boxes: captioned with the application title, one OK button.
#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>
#include <stdexcept>
#include <string>

namespace moratutor::ui {

// An error raised by the program's own code; what() is UTF-8.
class Error : public std::runtime_error {
public:
    explicit Error(const QString& message) : std::runtime_error(message.toStdString()) {}
};

// The application title ("Moratutor"), set by start-up before the first window exists.
QString ApplicationTitle();

// The error box's text: the message, with "." appended when the message is not empty
// and its last character's code is above that of ".".
QString ErrorBoxText(const QString& message);

// Shows a modal box captioned with the application title, with one OK button.
void ShowMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& text);

// Shows the error box for an error that escaped a handler.
void ShowErrorBox(const QString& message);

// Runs a handler; an error that escapes it is shown in the error box, and the program goes on.
void RunGuarded(const std::function<void()>& handler);

// Tests can take the boxes instead of showing them. While a sink is set, every box is
// handed to it (and returns at once) instead of being shown.
using MessageSink = std::function<void(QMessageBox::Icon icon, const QString& caption, const QString& text)>;
void SetMessageSink(MessageSink sink);

}  // namespace moratutor::ui
