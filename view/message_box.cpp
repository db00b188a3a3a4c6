#include "view/message_box.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

namespace lotvue {
namespace {

MessageHook& Hook() {
  static MessageHook hook;
  return hook;
}

QPointer<QWidget>& Parent() {
  static QPointer<QWidget> parent;
  return parent;
}

}  // namespace

void SetMessageParent(QWidget* parent) { Parent() = parent; }
QWidget* MessageParent() { return Parent().data(); }

MessageHook SetMessageHook(MessageHook hook) {
  MessageHook previous = std::move(Hook());
  Hook() = std::move(hook);
  return previous;
}

void ShowMessage(QWidget* parent, const QString& text) {
  if (!parent) parent = MessageParent();
  if (Hook()) {
    Hook()(parent, text);
    return;
  }
  // Texts carry CR LF line ends; the box wants plain line feeds.
  QString shown = text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QMessageBox box(QMessageBox::Warning, QString::fromLatin1(kApplicationName), shown, QMessageBox::Ok, parent);
  box.exec();
}

void ShowMessageUtf8(QWidget* parent, const std::string& text) { ShowMessage(parent, QString::fromStdString(text)); }

}  // namespace lotvue
