// The bars of a report window: Find (a serial number or any text, next and
// previous), Go to device (by file position or serial number) and the
// filter bar (all, failed only, passed only, one bin, or the devices whose
// text in a column contains a text). They act through the view's own find,
// selection and filter calls and say in themselves when there is nothing to
// go to, so that no box interrupts the typing.
#pragma once

#include <QWidget>

class QComboBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace lotvue {

class CLotvueView;

// What the three bars share: a caption, a text field, a message and a
// close button. Enter (with or without Shift) acts, Escape closes the bar
// and gives the keyboard back to the report.
class CReportBar : public QWidget {
  Q_OBJECT

 public:
  CReportBar(CLotvueView& view, QWidget* parent);

  // Shows the bar in the current language with the keyboard in its text,
  // all selected (or in its first choice while there is no text to give).
  void Open();
  // Hides the bar; the report has the keyboard again.
  virtual void Close();

  // The captions in the current language.
  virtual void Retranslate() = 0;

  QLineEdit* edit() const { return edit_; }
  // The bar's answer: "Not found", "No device at position 7", or empty.
  QString message() const;

 protected:
  // Enter in the text field or the bar's button; Shift+Enter gives backwards.
  virtual void Act(bool backwards) = 0;
  void Say(const QString& text);
  // A push button that acts (forwards unless `backwards`).
  QPushButton* ActButton(bool backwards);
  bool eventFilter(QObject* watched, QEvent* event) override;

  CLotvueView& view_;
  QHBoxLayout* layout_;  // caption, text, message, stretch, close
  QLabel* caption_;
  QLineEdit* edit_;
  QWidget* firstChoice_ = nullptr;  // has the keyboard while the text field is hidden

 private:
  QLabel* message_;
  QToolButton* close_;
};

class CFindBar : public CReportBar {
  Q_OBJECT

 public:
  CFindBar(CLotvueView& view, QWidget* parent);
  void Retranslate() override;

 protected:
  void Act(bool backwards) override;

 private:
  QPushButton* next_;
  QPushButton* previous_;
};

class CGoToBar : public CReportBar {
  Q_OBJECT

 public:
  CGoToBar(CLotvueView& view, QWidget* parent);
  void Retranslate() override;
  // 0: the number is a 1-based position in the file; 1: a serial number.
  QComboBox* byBox() const { return by_; }

 protected:
  void Act(bool backwards) override;

 private:
  QComboBox* by_;
  QPushButton* go_;
};

class CFilterBar : public CReportBar {
  Q_OBJECT

 public:
  CFilterBar(CLotvueView& view, QWidget* parent);
  void Retranslate() override;
  // Closing the bar shows every device again (the sort stays).
  void Close() override;
  // The choices in RowFilterKind order; the record columns (serial, bin, items).
  QComboBox* kindBox() const { return kind_; }
  QComboBox* columnBox() const { return column_; }

 protected:
  void Act(bool backwards) override;

 private:
  // The text field for a bin or a text, the column list for a text.
  void ShowFieldsOfKind();
  QComboBox* kind_;
  QComboBox* column_;
  QPushButton* apply_;
};

}  // namespace lotvue
