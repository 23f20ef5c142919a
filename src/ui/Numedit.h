#pragma once
// A one-line edit that holds a number of a given precision inside [Min, Max]. Keystrokes that cannot be
// part of such a number are refused while typing; leaving the field reformats a valid entry or brings
// back the value it had when it got the focus, and keeps the focus there.

#include <QChar>
#include <QLineEdit>
#include <QString>

#include <functional>

namespace vowelscope {

class TNumEdit : public QLineEdit {
  Q_OBJECT

 public:
  enum class TAlignment { taLeftJustify, taRightJustify, taCenter };

  using ErrorInputEvent = std::function<void(TNumEdit*)>;
  using BeepHook = std::function<void()>;
  using MessageHook = std::function<void(const QString&)>;

  explicit TNumEdit(QWidget* parent = nullptr);
  ~TNumEdit() override;

  double getValue() const;
  void setValue(double x);

  int GetDigits() const { return digits; }
  void SetDigits(int value);
  double GetMin() const { return minValue; }
  void SetMin(double x);
  double GetMax() const { return maxValue; }
  void SetMax(double x);
  TAlignment GetAlignment() const { return alignmentValue; }
  void SetAlignment(TAlignment value);

  // Fired whenever a value is rejected or clamped.
  ErrorInputEvent OnErrorInput;

  QChar DecimalSeparator() const { return decimalSeparator; }

  // The warning sound for a refused character and the box for a Min/Max set the wrong way round go through
  // these, so tests can count them instead of hearing or clicking them. Each returns the previous hook.
  static BeepHook SetBeepHook(BeepHook hook);
  static MessageHook SetMessageHook(MessageHook hook);

 protected:
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QString Format(double x) const;
  bool Convert(const QString& text, double& result) const;
  void FireErrorInput();
  void Rewrite() { setValue(getValue()); }
  // True when the key was taken care of here (refused, or replaced by a text of our own).
  bool FilterKey(QChar key);

  QChar decimalSeparator;
  int digits = 1;
  double minValue = 0;
  double maxValue = 9999.9;
  TAlignment alignmentValue = TAlignment::taLeftJustify;
  double enterValue = 0;
};

}  // namespace vowelscope
