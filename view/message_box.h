// The program's message boxes: the text, an OK button and the application's
// name as caption. Tests replace the box with a hook that records the texts.
#pragma once

#include <functional>
#include <string>

#include <QString>

class QWidget;

namespace lotvue {

inline constexpr const char* kApplicationName = "Lotvue";

using MessageHook = std::function<void(QWidget* parent, const QString& text)>;

// Shows text and returns when the user has closed the box. A null parent
// uses the window set with SetMessageParent.
void ShowMessage(QWidget* parent, const QString& text);
void ShowMessageUtf8(QWidget* parent, const std::string& text);

// The window that owns boxes shown without a parent (the main window).
void SetMessageParent(QWidget* parent);
QWidget* MessageParent();

// Replaces the message box; an empty hook brings it back. Returns the hook
// that was in place.
MessageHook SetMessageHook(MessageHook hook);

}  // namespace lotvue
