#include "gui/controls/EditUpDown.h"

#include <QApplication>
#include <QLineEdit>
#include <QSpontaneKeyEvent>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <climits>
#include <memory>
#include <vector>

using namespace tapwise;

namespace {

// A shown window with the control and a second widget to take the focus, and
// a record of the Value every OnChange saw.
struct Fixture {
  // Declared first, so it outlives the window and its last events.
  std::vector<int32_t> changes;
  QWidget window;
  TEditUpDown* control;
  QLineEdit* other;

  Fixture() {
    auto* layout = new QVBoxLayout(&window);
    control = new TEditUpDown(&window);
    other = new QLineEdit(&window);
    layout->addWidget(control);
    layout->addWidget(other);
    QObject::connect(control, &TEditUpDown::OnChange, control,
                     [this](TEditUpDown* sender) { changes.push_back(sender->Value()); });
  }

  bool Show() {
    window.show();
    QApplication::setActiveWindow(&window);
    if (!QTest::qWaitForWindowActive(&window)) return false;
    control->EditBox()->setFocus();
    return control->EditBox()->hasFocus();
  }

  // Replaces the box's text by typing, as a user does.
  void Type(const QString& text) {
    control->EditBox()->selectAll();
    if (text.isEmpty()) {
      QTest::keyClick(control->EditBox(), Qt::Key_Backspace);
    } else {
      QTest::keyClicks(control->EditBox(), text);
    }
  }

  void LeaveBox() {
    other->setFocus();
    QApplication::processEvents();
  }
};

void SendWheel(QWidget* target, int delta) {
  const QPointF at(target->width() / 2.0, target->height() / 2.0);
  QWheelEvent wheel(at, target->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  // As from the window system, so an unhandled wheel travels to the parent.
  QSpontaneKeyEvent::setSpontaneous(&wheel);
  QApplication::sendEvent(target, &wheel);
}

}  // namespace

class EditUpDownTest : public QObject {
  Q_OBJECT
 private slots:
  void Layout() {
    const EditUpDownGeometry g = EditUpDownLayout(100, 30, 21, 16);
    QCOMPARE(g.Edit, QRect(0, 4, 83, 21));
    QCOMPARE(g.UpDown, QRect(84, 0, 16, 30));
    // Too narrow for the edit box: it shrinks to nothing, never negative.
    QCOMPARE(EditUpDownLayout(10, 21, 21, 16).Edit.width(), 0);

    TEditUpDown control;
    control.resize(120, 40);
    control.show();
    QVERIFY(QTest::qWaitForWindowExposed(&control));
    QCOMPARE(control.UpButton()->geometry().right(), 119);
    QCOMPARE(control.DownButton()->geometry().bottom(), 39);
    QCOMPARE(control.EditBox()->geometry().width(), 120 - TEditUpDown::UpDownWidth - 1);
    const QRect edit = control.EditBox()->geometry();
    QCOMPARE(edit.top(), (40 - edit.height()) / 2);
  }

  void Text_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("scale");
    QTest::addColumn<int>("max");
    QTest::addColumn<bool>("hex");
    QTest::addColumn<QString>("text");
    QTest::newRow("decimal") << 42 << 1 << 100 << false << "42";
    QTest::newRow("negative") << -7 << 1 << 100 << false << "-7";
    QTest::newRow("scaled") << 3 << 5 << 1000 << false << "15";
    QTest::newRow("hex Max 255") << 5 << 1 << 255 << true << "05";
    QTest::newRow("hex Max 65535") << 10 << 1 << 65535 << true << "000A";
    QTest::newRow("hex Max 15") << 12 << 1 << 15 << true << "C";
    QTest::newRow("hex Max 256") << 255 << 1 << 256 << true << "0FF";
    QTest::newRow("hex Max unsigned") << -1 << 1 << -1 << true << "FFFFFFFF";
    // A scaled hex field keeps the digits its largest value needs.
    QTest::newRow("hex scaled") << 255 << 100 << 255 << true << "639C";
    QTest::newRow("product beyond 32 bits") << INT_MAX << 100 << INT_MAX << false
                                            << "214748364700";
    QTest::newRow("scale 0") << 9 << 0 << 100 << false << "0";
  }
  // The text of a value, and the value read back from it unchanged (with a
  // scale of 0 every value shows as 0, which leaves the value alone).
  void Text() {
    QFETCH(int, value);
    QFETCH(int, scale);
    QFETCH(int, max);
    QFETCH(bool, hex);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(EditUpDownText(value, scale, max, hex, nullptr)), text);
    // The control shows the same and reading its own text back keeps Value.
    TEditUpDown control;
    control.SetMin(INT_MIN);
    control.SetMax(max);
    control.SetHex(hex);
    control.SetScale(scale);
    control.SetValue(value);
    QCOMPARE(control.Text(), text);
    QCOMPARE(control.Value(), value);
  }

  void Clamping_data() {
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("inside") << 1 << 1000 << 500 << 500;
    QTest::newRow("below") << 1 << 1000 << 0 << 1;
    QTest::newRow("above") << 1 << 1000 << 5000 << 1000;
    QTest::newRow("min above max ends at max") << 10 << 5 << 7 << 5;
    QTest::newRow("min above max from below") << 10 << 5 << 0 << 5;
    QTest::newRow("full range low") << INT_MIN << INT_MAX << INT_MIN << INT_MIN;
  }
  void Clamping() {
    QFETCH(int, min);
    QFETCH(int, max);
    QFETCH(int, value);
    QFETCH(int, expected);
    TEditUpDown control;
    control.SetMax(max);
    control.SetMin(min);
    control.SetValue(value);
    QCOMPARE(control.Value(), expected);
    QCOMPARE(control.Text(), QString::number(expected));
    QVERIFY(!control.Modified());
  }

  void SettingValueRaisesOnChangeOnlyWhenTheTextChanges() {
    Fixture f;
    f.control->SetValue(5);
    QCOMPARE(f.changes, std::vector<int32_t>{5});
    f.control->SetValue(5);
    f.control->SetValue(500);  // clamped to 100
    f.control->SetValue(100);  // same text
    QCOMPARE(f.changes, (std::vector<int32_t>{5, 100}));
    QVERIFY(!f.control->Modified());
  }

  void TypedTextIsDividedAndRewrittenWhenTheFocusLeaves() {
    Fixture f;
    f.control->SetMin(1);
    f.control->SetMax(1000);
    f.control->SetScale(5);
    f.control->SetValue(3);
    QCOMPARE(f.control->Text(), QString("15"));
    QVERIFY(f.Show());
    f.changes.clear();
    f.Type("17");
    QCOMPARE(f.control->Value(), 3);
    QCOMPARE(f.control->Text(), QString("17"));
    QVERIFY(f.control->Modified());
    QCOMPARE(f.changes.back(), 3);
    f.changes.clear();
    f.LeaveBox();
    QCOMPARE(f.control->Text(), QString("15"));
    QVERIFY(!f.control->Modified());
    // The rewrite raises it through the text change, Changed once more.
    QCOMPARE(f.changes, (std::vector<int32_t>{3, 3}));
    // Leaving again without an edit raises nothing.
    f.control->EditBox()->setFocus();
    f.LeaveBox();
    QCOMPARE(f.changes.size(), size_t{2});
  }

  void AnotherWindowTakingTheFocusKeepsTheEdit() {
    Fixture f;
    QVERIFY(f.Show());
    f.Type("500");
    QWidget second;
    second.show();
    QApplication::setActiveWindow(&second);
    QVERIFY(QTest::qWaitForWindowActive(&second));
    QCOMPARE(f.control->Text(), QString("500"));
    QVERIFY(f.control->Modified());
    // Back in the window the edit goes on and ends on leaving the box.
    QApplication::setActiveWindow(&f.window);
    QVERIFY(QTest::qWaitForWindowActive(&f.window));
    QVERIFY(f.control->EditBox()->hasFocus());
    f.LeaveBox();
    QCOMPARE(f.control->Text(), QString("100"));
  }

  void TypedValueBeyondMaxIsSeenThenClamped() {
    Fixture f;
    f.control->SetMax(1000);
    QVERIFY(f.Show());
    f.changes.clear();
    f.Type("5000");
    QCOMPARE(f.changes.back(), 5000);
    QCOMPARE(f.control->Value(), 5000);
    f.changes.clear();
    f.LeaveBox();
    QCOMPARE(f.control->Text(), QString("1000"));
    QCOMPARE(f.changes, (std::vector<int32_t>{1000, 1000}));
  }

  void ClearingGivesMinAtOnceAndTheTextOnLeaving() {
    Fixture f;
    f.control->SetMin(7);
    f.control->SetValue(50);
    QVERIFY(f.Show());
    f.Type("");
    QCOMPARE(f.control->Value(), 7);
    QCOMPARE(f.control->Text(), QString());
    f.LeaveBox();
    QCOMPARE(f.control->Text(), QString("7"));
  }

  void TypedTextReadings_data() {
    QTest::addColumn<bool>("hex");
    QTest::addColumn<int>("max");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("shownAfter");
    QTest::newRow("dollar hex") << false << 100 << "$1F" << 31 << "31";
    QTest::newRow("dollar lower case") << false << 100 << "$1f" << 31 << "31";
    QTest::newRow("letters only") << false << 100 << "abc" << 0 << "0";
    QTest::newRow("stops at a letter") << false << 100 << "12a" << 12 << "12";
    QTest::newRow("leading blanks and sign") << false << 100 << " ,-5" << -5 << "0";
    QTest::newRow("hex field") << true << 255 << "a0" << 160 << "A0";
    QTest::newRow("hex field no digits") << true << 255 << "zz" << 0 << "00";
    // Overlong numbers stop at the limit instead of wrapping back into range.
    QTest::newRow("decimal overflow") << false << INT_MAX << "4294967296" << INT_MAX
                                      << "2147483647";
    QTest::newRow("negative overflow") << false << INT_MAX << "-99999999999" << INT_MIN
                                       << "0";
    QTest::newRow("hex overflow") << true << 65535 << "100000000" << INT_MAX << "FFFF";
  }
  void TypedTextReadings() {
    QFETCH(bool, hex);
    QFETCH(int, max);
    QFETCH(QString, typed);
    QFETCH(int, value);
    QFETCH(QString, shownAfter);
    Fixture f;
    f.control->SetMax(max);
    f.control->SetHex(hex);
    QVERIFY(f.Show());
    f.Type(typed);
    QCOMPARE(f.control->Value(), value);
    QCOMPARE(f.control->Text(), typed);
    f.LeaveBox();
    QCOMPARE(f.control->Text(), shownAfter);
  }

  void CalculatedDisplayIsNotReadBack() {
    Fixture f;
    f.control->SetMax(1000);
    f.control->SetOnCalculate([](int32_t position) { return position * 2 + 1; });
    f.control->SetValue(10);
    QCOMPARE(f.control->Text(), QString("21"));
    QCOMPARE(f.control->Value(), 10);
    QVERIFY(f.Show());
    f.Type("500");
    QCOMPARE(f.control->Value(), 10);
    // "$" is read even so.
    f.Type("$20");
    QCOMPARE(f.control->Value(), 32);
    f.LeaveBox();
    QCOMPARE(f.control->Text(), QString("65"));
  }

  void ScaleZeroLeavesTheValueOnTypedText() {
    Fixture f;
    f.control->SetValue(40);
    f.control->SetScale(0);
    QCOMPARE(f.control->Text(), QString("0"));
    QCOMPARE(f.control->Value(), 40);
    QVERIFY(f.Show());
    f.Type("77");
    QCOMPARE(f.control->Value(), 40);
    f.LeaveBox();
    QCOMPARE(f.control->Text(), QString("0"));
  }

  void ArrowKeysStepAndRaiseOnChangeTwice() {
    Fixture f;
    f.control->SetMax(10);
    f.control->SetValue(5);
    QVERIFY(f.Show());
    f.changes.clear();
    QTest::keyClick(f.control->EditBox(), Qt::Key_Up);
    QCOMPARE(f.control->Text(), QString("6"));
    QCOMPARE(f.changes, (std::vector<int32_t>{6, 6}));
    f.changes.clear();
    QTest::keyClick(f.control->EditBox(), Qt::Key_Down);
    QTest::keyClick(f.control->EditBox(), Qt::Key_Down);
    QCOMPARE(f.control->Value(), 4);
    QCOMPARE(f.changes.size(), size_t{4});
    // At Max the step is clamped: the text stays, OnChange comes once.
    f.control->SetValue(10);
    f.changes.clear();
    QTest::keyClick(f.control->EditBox(), Qt::Key_Up);
    QCOMPARE(f.control->Value(), 10);
    QCOMPARE(f.changes, std::vector<int32_t>{10});
    // The keys were consumed: the cursor did not move to the start.
    QCOMPARE(f.control->EditBox()->cursorPosition(), 2);
  }

  void StepsAtTheLimitsOf32Bits() {
    TEditUpDown control;
    control.SetMin(INT_MIN);
    control.SetMax(INT_MAX);
    control.SetValue(INT_MAX);
    QTest::keyClick(control.EditBox(), Qt::Key_Up);
    QCOMPARE(control.Value(), INT_MAX);
    control.SetValue(INT_MIN);
    QTest::keyClick(control.EditBox(), Qt::Key_Down);
    QCOMPARE(control.Value(), INT_MIN);
    QCOMPARE(control.Text(), QString("-2147483648"));
    SendWheel(&control, -120);
    QCOMPARE(control.Value(), INT_MIN);
  }

  void SpinArrowsStepAndGiveTheFocusToTheBox() {
    Fixture f;
    f.control->SetValue(50);
    QVERIFY(f.Show());
    f.other->setFocus();
    f.changes.clear();
    QTest::mouseClick(f.control->UpButton(), Qt::LeftButton);
    QCOMPARE(f.control->Value(), 51);
    QCOMPARE(f.changes, (std::vector<int32_t>{51, 51}));
    QVERIFY(f.control->EditBox()->hasFocus());
    QTest::mouseClick(f.control->DownButton(), Qt::LeftButton);
    QTest::mouseClick(f.control->DownButton(), Qt::LeftButton);
    QCOMPARE(f.control->Value(), 49);
    QCOMPARE(f.control->Text(), QString("49"));
    // A click ends an edit in progress: typed 17 at scale 5 is Value 3.
    f.control->SetScale(5);
    f.Type("17");
    QTest::mouseClick(f.control->UpButton(), Qt::LeftButton);
    QCOMPARE(f.control->Value(), 4);
    QCOMPARE(f.control->Text(), QString("20"));
    QVERIFY(!f.control->Modified());
  }

  void WheelGoesThroughTheValueSetter() {
    Fixture f;
    f.control->SetValue(20);
    QVERIFY(f.Show());
    f.changes.clear();
    // Over the edit box the wheel reaches the control too.
    SendWheel(f.control->EditBox(), 120);
    QCOMPARE(f.control->Value(), 21);
    QCOMPARE(f.changes, std::vector<int32_t>{21});
    SendWheel(f.control, -240);
    QCOMPARE(f.control->Value(), 19);
    // Fractions of a notch add up to one step.
    for (int i = 0; i < 4; ++i) SendWheel(f.control, 30);
    QCOMPARE(f.control->Value(), 20);
    // At Max nothing changes and nothing is raised.
    f.control->SetValue(100);
    f.changes.clear();
    SendWheel(f.control, 120);
    QCOMPARE(f.control->Value(), 100);
    QVERIFY(f.changes.empty());
  }
};

QTEST_MAIN(EditUpDownTest)
#include "EditUpDownTest.moc"
