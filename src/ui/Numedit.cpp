#include "ui/Numedit.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QMessageBox>
#include <QTimer>

#include <cmath>

namespace vowelscope {

namespace {

TNumEdit::BeepHook& BeepHookSlot() {
  static TNumEdit::BeepHook hook;
  return hook;
}

TNumEdit::MessageHook& MessageHookSlot() {
  static TNumEdit::MessageHook hook;
  return hook;
}

void Beep() {
  if (BeepHookSlot()) {
    BeepHookSlot()();
  } else {
    QApplication::beep();
  }
}

void ShowMessage(QWidget* parent, const QString& text) {
  if (MessageHookSlot()) {
    MessageHookSlot()(text);
  } else {
    QMessageBox::information(parent, QApplication::applicationDisplayName(), text);
  }
}

constexpr int kMaxDigits = 18;

}  // namespace

TNumEdit::TNumEdit(QWidget* parent) : QLineEdit(parent) {
  const QString point = QLocale().decimalPoint();
  decimalSeparator = point.isEmpty() ? QChar('.') : point.front();
  // Composed input would bypass the key filter; a number needs none.
  setAttribute(Qt::WA_InputMethodEnabled, false);
  setValue(0);
}

TNumEdit::~TNumEdit() = default;

TNumEdit::BeepHook TNumEdit::SetBeepHook(BeepHook hook) {
  BeepHook previous = std::move(BeepHookSlot());
  BeepHookSlot() = std::move(hook);
  return previous;
}

TNumEdit::MessageHook TNumEdit::SetMessageHook(MessageHook hook) {
  MessageHook previous = std::move(MessageHookSlot());
  MessageHookSlot() = std::move(hook);
  return previous;
}

QString TNumEdit::Format(double x) const {
  if (x == 0) x = 0;  // no "-0.0"
  QString text = QString::number(x, 'f', digits);
  if (decimalSeparator != QChar('.')) text.replace(QChar('.'), decimalSeparator);
  return text;
}

bool TNumEdit::Convert(const QString& text, double& result) const {
  // The locale's rules, without thousands separators; "inf" and "nan" are not numbers a user types.
  QLocale locale;
  locale.setNumberOptions(QLocale::RejectGroupSeparator);
  QString normal = text;
  if (decimalSeparator != locale.decimalPoint().front()) {
    // The separator captured at creation wins over a locale changed since.
    if (normal.contains(locale.decimalPoint())) return false;
    normal.replace(decimalSeparator, locale.decimalPoint().front());
  }
  bool ok = false;
  const double value = locale.toDouble(normal, &ok);
  if (!ok || !std::isfinite(value)) return false;
  result = value;
  return true;
}

void TNumEdit::FireErrorInput() {
  if (OnErrorInput) OnErrorInput(this);
}

double TNumEdit::getValue() const {
  QString source = text();
  if (source.isEmpty() || source == QStringLiteral("-") || source == QString(decimalSeparator)) {
    source = QStringLiteral("0");
  }
  double value = 0;
  if (!Convert(source, value)) value = minValue;
  if (value < minValue) value = minValue;
  if (value > maxValue) value = maxValue;
  return value;
}

void TNumEdit::setValue(double x) {
  if (!(x <= maxValue)) {
    FireErrorInput();
    x = maxValue;
  }
  if (x < minValue) {
    FireErrorInput();
    x = minValue;
  }
  setText(Format(x));
}

void TNumEdit::SetDigits(int value) {
  if (value < 0) value = 0;
  if (value > kMaxDigits) value = kMaxDigits;
  if (value == digits) return;
  // Read the number with the old precision before the new one formats it.
  const double current = getValue();
  digits = value;
  setValue(current);
}

void TNumEdit::SetMin(double x) {
  if (x == minValue) return;
  if (x > maxValue) {
    ShowMessage(this, QStringLiteral("Min-Value has to be less than or equal to Max-Value !"));
    x = maxValue;
  }
  minValue = x;
  Rewrite();
}

void TNumEdit::SetMax(double x) {
  if (x == maxValue) return;
  if (x < minValue) {
    ShowMessage(this, QStringLiteral("Max-Value has to be greater than or equal to Min-Value !"));
    x = minValue;
  }
  maxValue = x;
  Rewrite();
}

void TNumEdit::SetAlignment(TAlignment value) {
  alignmentValue = value;
  switch (value) {
    case TAlignment::taLeftJustify: setAlignment(Qt::AlignLeft | Qt::AlignVCenter); break;
    case TAlignment::taRightJustify: setAlignment(Qt::AlignRight | Qt::AlignVCenter); break;
    case TAlignment::taCenter: setAlignment(Qt::AlignHCenter | Qt::AlignVCenter); break;
  }
}

void TNumEdit::focusInEvent(QFocusEvent* event) {
  enterValue = getValue();
  QLineEdit::focusInEvent(event);
}

void TNumEdit::focusOutEvent(QFocusEvent* event) {
  const QString entered = text();
  QLineEdit::focusOutEvent(event);
  // A menu or another window taking the focus for a while is not the user leaving the field.
  if (event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason) return;

  double value = 0;
  if (!Convert(entered, value) || value < minValue || value > maxValue) {
    FireErrorInput();
    setValue(enterValue);
    selectAll();
    // Taken back once the focus change under way has finished, so the other widget is left in order.
    QTimer::singleShot(0, this, [this] {
      if (!isVisible()) return;
      setFocus(Qt::OtherFocusReason);
      selectAll();
    });
    return;
  }
  setText(Format(value));
  double rounded = value;
  if (Convert(text(), rounded)) setValue(rounded);
}

bool TNumEdit::FilterKey(QChar key) {
  const QChar minus('-');
  const bool digit = key >= QChar('0') && key <= QChar('9');
  if (!digit && key != decimalSeparator && key != minus) {
    Beep();
    return true;
  }

  const QString current = text();
  int start = cursorPosition();
  int length = 0;
  if (hasSelectedText()) {
    start = selectionStart();
    length = static_cast<int>(selectedText().size());
  }
  QString remaining = current;
  remaining.remove(start, length);

  if (key == decimalSeparator && remaining.contains(decimalSeparator)) return true;
  if (key == minus && remaining.contains(minus)) return true;
  if (key == minus && minValue >= 0) return true;
  if (key == decimalSeparator && digits == 0) return true;

  QString next = remaining;
  next.insert(start, key);
  const auto point = next.indexOf(decimalSeparator);
  if (point >= 0 && next.size() - point - 1 > digits) return true;

  if (key == minus && start != 0) return true;

  if (next == QString(minus)) {
    setText(QStringLiteral("-0"));
    setSelection(1, 1);
    return true;
  }
  if (next == QString(decimalSeparator)) {
    setText(QStringLiteral("0") + decimalSeparator + QStringLiteral("0"));
    setSelection(2, 1);
    return true;
  }
  return false;
}

void TNumEdit::keyPressEvent(QKeyEvent* event) {
  const QString typed = event->text();
  if (event->key() == Qt::Key_Escape) {
    setValue(enterValue);
    selectAll();
    QLineEdit::keyPressEvent(event);
    return;
  }
  // Keys without a character (arrows, Delete, Home) and control characters (Backspace, Enter, the
  // editing shortcuts) are the edit's own business.
  if (typed.isEmpty() || typed.front().unicode() < 32 || typed.front().unicode() == 127 ||
      (event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))) {
    QLineEdit::keyPressEvent(event);
    return;
  }
  // One character a key; a composed sequence of several cannot be checked as one keystroke.
  if (typed.size() != 1) {
    Beep();
    event->accept();
    return;
  }
  if (FilterKey(typed.front())) {
    event->accept();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

}  // namespace vowelscope
