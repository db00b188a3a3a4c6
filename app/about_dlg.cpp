#include "app/about_dlg.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include "core/version.h"
#include "view/dialog_units.h"

namespace lotvue {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
  setWindowTitle(QStringLiteral("About Lotvue"));
  setFixedSize(DialogSize(this, 235, 55));
  auto* icon = new QLabel(this);
  icon->setPixmap(QIcon(QStringLiteral(":/icons/lotvue.png")).pixmap(32, 32));
  icon->setGeometry(DialogRect(this, 11, 17, 21, 20));
  auto* product = new QLabel(QStringLiteral("Lotvue Version 1.0 for VXT-5000"), this);
  product->setGeometry(DialogRect(this, 40, 10, 134, 8));
  auto* maker = new QLabel(QStringLiteral("TAVO"), this);
  maker->setGeometry(DialogRect(this, 40, 25, 130, 8));
  // The build's version, and the licence: the charts' library (QCustomPlot)
  // is GPL-3, and so is the program.
  auto* license = new QLabel(QString::fromLatin1(kVersionText) + QStringLiteral(", GPL-3.0-or-later"), this);
  license->setGeometry(DialogRect(this, 40, 40, 134, 8));
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setDefault(true);
  ok->setGeometry(DialogRect(this, 178, 7, 50, 14));
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace lotvue
