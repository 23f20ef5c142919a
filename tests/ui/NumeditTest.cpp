// TNumEdit typed into with QTest: which keys it refuses (and which of them beep), what leaving the field
// does with valid, out-of-range and unreadable entries, Esc, and the number <-> text rules.
#include "ui/Numedit.h"

#include <QApplication>
#include <QLocale>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace vowelscope {
namespace {

struct Field {
  int digits;
  double min;
  double max;
};

// The fields of the options dialog these cases stand for.
constexpr Field kOrder{0, 4, 32};
constexpr Field kPreEmphasis{2, 0, 0.99};
constexpr Field kThreshold{1, 1, 90};
constexpr Field kFrameShift{0, 0, 9999.9};
constexpr Field kSigned{1, -10, 10};

// Widened first, so that no step of the change inverts the range.
void Configure(TNumEdit& edit, const Field& field) {
  edit.SetMin(-1e9);
  edit.SetMax(field.max);
  edit.SetMin(field.min);
  edit.SetDigits(field.digits);
}

// Sends the characters one by one as key presses; '\x1b' is Esc and '\b' is Backspace.
void Type(QWidget* widget, const std::string& keys) {
  for (char c : keys) {
    if (c == '\x1b') {
      QTest::keyClick(widget, Qt::Key_Escape);
    } else if (c == '\b') {
      QTest::keyClick(widget, Qt::Key_Backspace);
    } else {
      QTest::keyClick(widget, c);
    }
  }
}

class NumEditTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TNumEdit::SetBeepHook([this] { ++beeps; });
    TNumEdit::SetMessageHook([this](const QString& text) { messages.push_back(text); });
    window = std::make_unique<QWidget>();
    auto* layout = new QVBoxLayout(window.get());
    edit = new TNumEdit(window.get());
    other = new TNumEdit(window.get());
    layout->addWidget(edit);
    layout->addWidget(other);
    edit->OnErrorInput = [this](TNumEdit* sender) {
      EXPECT_EQ(sender, edit);
      ++errors;
    };
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  }

  void TearDown() override {
    window.reset();
    TNumEdit::SetBeepHook({});
    TNumEdit::SetMessageHook({});
  }

  // Gives the edit the focus (so it remembers its value) and puts the caret at the end of its text.
  void Enter() {
    if (edit->hasFocus()) Leave();
    edit->setFocus(Qt::MouseFocusReason);
    QApplication::processEvents();
    ASSERT_TRUE(edit->hasFocus());
    edit->deselect();
    edit->end(false);
  }

  // Moves the focus to the other field and lets a focus taken back arrive.
  void Leave() {
    other->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    QApplication::processEvents();
  }

  std::unique_ptr<QWidget> window;
  TNumEdit* edit = nullptr;
  TNumEdit* other = nullptr;
  int beeps = 0;
  int errors = 0;
  std::vector<QString> messages;
};

TEST_F(NumEditTest, KeySequences_GiveTheExpectedTextSelectionAndBeeps) {
  struct Case {
    const char* what;
    Field field;
    const char* start;  // text before typing; caret at its end
    bool selectAll;
    std::string keys;
    const char* text;
    int beeps;
    int selStart = -1;  // expected selection after the keys, -1 for none
    int selLength = 0;
  };
  const Case cases[] = {
      {"order refuses the separator silently", kOrder, "16", false, ".", "16", 0},
      {"order refuses a minus silently", kOrder, "16", false, "-", "16", 0},
      {"order beeps at a letter", kOrder, "16", false, "a", "16", 1},
      {"every foreign character beeps once", kOrder, "16", false, "x+ e", "16", 4},
      {"a comma is foreign where the separator is a period", kPreEmphasis, "0.5", false, ",", "0.5", 1},
      {"digits replace a selection", kOrder, "16", true, "24", "24", 0},
      {"backspace is the edit's own", kOrder, "16", false, "\b", "1", 0},
      {"no third decimal", kPreEmphasis, "0.98", false, "1", "0.98", 0},
      {"no second separator", kPreEmphasis, "0.98", false, ".", "0.98", 0},
      {"a separator alone becomes 0.0 with the last zero selected", kPreEmphasis, "", false, ".", "0.0", 0, 2, 1},
      {"the selected zero is then typed over", kPreEmphasis, "", false, ".57", "0.57", 0},
      {"a separator over a selected text counts as alone", kPreEmphasis, "0.98", true, ".", "0.0", 0, 2, 1},
      {"with a negative minimum a minus alone becomes -0", kSigned, "", false, "-", "-0", 0, 1, 1},
      {"and the digit typed next replaces the zero", kSigned, "", false, "-5", "-5", 0},
      {"a minus after the first character is refused", kSigned, "5", false, "-", "5", 0},
      {"only one minus", kSigned, "-5", false, "-", "-5", 0},
      {"decimals up to the field's precision", kThreshold, "", false, "35.5", "35.5", 0},
      {"a refused key does not stop the next", kThreshold, "", false, "3a5.55", "35.5", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Configure(*edit, c.field);
    edit->setText(QString::fromLatin1(c.start));
    Enter();
    if (c.selectAll) edit->selectAll();
    beeps = 0;
    Type(edit, c.keys);
    EXPECT_EQ(edit->text().toStdString(), c.text);
    EXPECT_EQ(beeps, c.beeps);
    if (c.selStart >= 0) {
      EXPECT_EQ(edit->selectionStart(), c.selStart);
      EXPECT_EQ(edit->selectedText().size(), c.selLength);
    }
    Leave();
  }
}

TEST_F(NumEditTest, Escape_RestoresTheValueAtFocusEntry_AndSelectsAll) {
  Configure(*edit, kThreshold);
  edit->setValue(35);
  Enter();
  Type(edit, "\b\b\b\b42.5");
  ASSERT_EQ(edit->text(), QStringLiteral("42.5"));
  Type(edit, "\x1b");
  EXPECT_EQ(edit->text(), QStringLiteral("35.0"));
  EXPECT_EQ(edit->selectedText(), QStringLiteral("35.0"));
  EXPECT_EQ(beeps, 0);
}

TEST_F(NumEditTest, LeavingTheField_FormatsOrRevertsAndKeepsTheFocus) {
  struct Case {
    const char* what;
    Field field;
    double before;
    const char* typed;  // replaces the whole text
    const char* after;
    bool focusKept;
    int errors;
  };
  const Case cases[] = {
      {"frame shift 12 stays 12", kFrameShift, 10, "12", "12", false, 0},
      {"frame shift 10000 is above 9999.9", kFrameShift, 10, "10000", "10", true, 1},
      {"threshold 35 is shown with its decimal", kThreshold, 20, "35", "35.0", false, 0},
      {"threshold below its minimum", kThreshold, 20, "0.5", "20.0", true, 1},
      {"an empty field is unreadable", kOrder, 16, "", "16", true, 1},
      {"a lone minus is unreadable", kSigned, 3, "-", "3.0", true, 1},
      {"one decimal short is padded", kPreEmphasis, 0.98, "0.5", "0.50", false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Configure(*edit, c.field);
    edit->setValue(c.before);
    Enter();
    errors = 0;
    edit->setText(QString::fromLatin1(c.typed));
    Leave();
    EXPECT_EQ(edit->text().toStdString(), c.after);
    EXPECT_EQ(edit->hasFocus(), c.focusKept);
    EXPECT_EQ(errors, c.errors);
    if (c.focusKept) {
      EXPECT_EQ(edit->selectedText().toStdString(), c.after);
    }
    Leave();
  }
}

TEST_F(NumEditTest, ValueReadAndWritten_IsClampedIntoTheRange) {
  Configure(*edit, kThreshold);
  struct Read {
    const char* text;
    double value;
  };
  // Unreadable text reads as the minimum; "-", "." and "" read as 0, then clamped.
  const Read reads[] = {{"42.5", 42.5}, {"", 1}, {".", 1}, {"-", 1}, {"abc", 1}, {"500", 90}, {"0.2", 1}, {"nan", 1}};
  for (const Read& r : reads) {
    edit->setText(QString::fromLatin1(r.text));
    EXPECT_DOUBLE_EQ(edit->getValue(), r.value) << r.text;
  }

  struct Write {
    double value;
    const char* text;
    int errors;
  };
  const Write writes[] = {{35, "35.0", 0}, {90, "90.0", 0}, {90.04, "90.0", 1}, {0, "1.0", 1}, {-5, "1.0", 1},
                          {std::nan(""), "90.0", 1}, {12.345, "12.3", 0}};
  for (const Write& w : writes) {
    errors = 0;
    edit->setValue(w.value);
    EXPECT_EQ(edit->text().toStdString(), w.text) << w.value;
    EXPECT_EQ(errors, w.errors) << w.value;
  }
}

TEST_F(NumEditTest, Properties_RewriteTheTextAndRefuseAnInvertedRange) {
  // A new control reads 0 with one decimal inside [0, 9999.9].
  EXPECT_EQ(other->text(), QStringLiteral("0.0"));
  EXPECT_EQ(other->GetDigits(), 1);
  EXPECT_DOUBLE_EQ(other->GetMax(), 9999.9);

  edit->setValue(35.26);
  EXPECT_EQ(edit->text(), QStringLiteral("35.3"));
  edit->SetDigits(0);
  EXPECT_EQ(edit->text(), QStringLiteral("35"));
  edit->SetDigits(25);
  EXPECT_EQ(edit->GetDigits(), 18);

  edit->SetDigits(1);
  edit->SetMax(100);
  edit->SetMin(200);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], QStringLiteral("Min-Value has to be less than or equal to Max-Value !"));
  EXPECT_DOUBLE_EQ(edit->GetMin(), 100);
  EXPECT_EQ(edit->text(), QStringLiteral("100.0"));

  edit->SetMax(50);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[1], QStringLiteral("Max-Value has to be greater than or equal to Min-Value !"));
  EXPECT_DOUBLE_EQ(edit->GetMax(), 100);

  edit->SetAlignment(TNumEdit::TAlignment::taRightJustify);
  EXPECT_TRUE(edit->alignment() & Qt::AlignRight);
}

TEST_F(NumEditTest, TheLocaleSeparator_IsTakenWhenTheControlIsMade) {
  const QLocale saved;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  TNumEdit comma(window.get());
  QLocale::setDefault(saved);
  Configure(comma, kPreEmphasis);
  EXPECT_EQ(comma.DecimalSeparator(), QChar(','));

  comma.setValue(0.98);
  EXPECT_EQ(comma.text(), QStringLiteral("0,98"));
  EXPECT_DOUBLE_EQ(comma.getValue(), 0.98);

  comma.setText(QString());
  beeps = 0;
  Type(&comma, ".");
  EXPECT_EQ(beeps, 1);
  Type(&comma, ",");
  EXPECT_EQ(comma.text(), QStringLiteral("0,0"));
  comma.setText(QStringLiteral("0.5"));  // a period is not this control's separator
  EXPECT_DOUBLE_EQ(comma.getValue(), 0);
}

}  // namespace
}  // namespace vowelscope
