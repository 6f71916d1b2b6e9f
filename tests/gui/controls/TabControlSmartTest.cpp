#include "gui/controls/TabControlSmart.h"

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <string>
#include <vector>

#include "gui/controls/WindowsLib.h"

using namespace tapwise;

namespace {

using Swaps = std::vector<std::pair<int, int>>;

// Four tabs "COM1".."COM4" in a shown window, with every event of the bar
// written to a log in the order it came.
struct Fixture {
  // Declared first, so it outlives the window and its last events.
  std::vector<std::string> log;
  QWidget window;
  TTabControlSmart* bar;
  QLineEdit* other;

  Fixture() {
    auto* layout = new QVBoxLayout(&window);
    bar = new TTabControlSmart(&window);
    other = new QLineEdit(&window);
    layout->addWidget(bar);
    layout->addWidget(other);
    for (int i = 1; i <= 4; ++i) bar->addTab(QString("COM%1").arg(i));
    const auto note = [this](std::string entry) { log.push_back(std::move(entry)); };
    QObject::connect(bar, &TTabControlSmart::OnFill, bar,
                     [note](TTabControlSmart*, int i) { note("Fill " + std::to_string(i)); });
    QObject::connect(bar, &TTabControlSmart::OnRead, bar,
                     [note](TTabControlSmart*, int i) { note("Read " + std::to_string(i)); });
    QObject::connect(bar, &TTabControlSmart::OnSwapData, bar,
                     [note](TTabControlSmart*, int a, int b) {
                       note("Swap " + std::to_string(a) + " " + std::to_string(b));
                     });
  }

  bool Show() {
    window.resize(400, 80);
    window.show();
    QApplication::setActiveWindow(&window);
    return QTest::qWaitForWindowActive(&window);
  }

  QPoint Centre(int index) const { return bar->tabRect(index).center(); }

  void Click(int index) { QTest::mouseClick(bar, Qt::LeftButton, {}, Centre(index)); }

  // A left-button drag from one point to another in small steps.
  void Drag(QPoint from, QPoint to) {
    QTest::mousePress(bar, Qt::LeftButton, {}, from);
    const int steps = 8;
    for (int i = 1; i <= steps; ++i) QTest::mouseMove(bar, from + (to - from) * i / steps);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, to);
  }

  QStringList Captions() const {
    QStringList captions;
    for (int i = 0; i < bar->count(); ++i) captions << bar->tabText(i);
    return captions;
  }
};

}  // namespace

class TabControlSmartTest : public QObject {
  Q_OBJECT
 private slots:
  void SwapSequence_data() {
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("target");
    QTest::addColumn<Swaps>("swaps");
    QTest::newRow("0 to 3") << 0 << 3 << Swaps{{0, 1}, {1, 2}, {2, 3}};
    QTest::newRow("3 to 1") << 3 << 1 << Swaps{{3, 2}, {2, 1}};
    QTest::newRow("1 to 0") << 1 << 0 << Swaps{{1, 0}};
    QTest::newRow("onto itself") << 2 << 2 << Swaps{};
    QTest::newRow("no source") << -1 << 2 << Swaps{};
    QTest::newRow("no target") << 2 << -1 << Swaps{};
  }
  void SwapSequence() {
    QFETCH(int, source);
    QFETCH(int, target);
    QFETCH(Swaps, swaps);
    QCOMPARE(TabSwapSequence(source, target), swaps);
  }

  void FillAndReadOnClicks() {
    Fixture f;
    QVERIFY(f.Show());
    QCOMPARE(f.bar->Current(), -1);
    // The first click fills without reading: nothing was shown before.
    f.Click(0);
    f.Click(2);
    f.Click(2);  // the same tab again: nothing
    f.Click(1);
    QCOMPARE(f.log, (std::vector<std::string>{"Fill 0", "Read 0", "Fill 2", "Read 2", "Fill 1"}));
    QCOMPARE(f.bar->Current(), 1);
    QVERIFY(!f.bar->Dragging());
    // Other buttons select as the base class does, but neither read nor fill.
    f.log.clear();
    QTest::mouseClick(f.bar, Qt::RightButton, {}, f.Centre(3));
    QVERIFY(f.log.empty());
  }

  void LosingTheFocusReads() {
    Fixture f;
    QVERIFY(f.Show());
    f.bar->setFocus();
    f.other->setFocus();
    QVERIFY(f.log.empty());  // no tab current yet
    f.Click(3);
    QVERIFY(f.bar->hasFocus());
    f.other->setFocus();
    QCOMPARE(f.log, (std::vector<std::string>{"Fill 3", "Read 3"}));
  }

  void AnotherWindowTakingTheFocusReadsNothing() {
    Fixture f;
    QVERIFY(f.Show());
    f.Click(0);
    QWidget second;
    second.show();
    QApplication::setActiveWindow(&second);
    QVERIFY(QTest::qWaitForWindowActive(&second));
    QCOMPARE(f.log, std::vector<std::string>{"Fill 0"});
  }

  void DragCarriesTheTabOnePlaceAtATime() {
    Fixture f;
    QVERIFY(f.Show());
    QSignalSpy moved(f.bar, &QTabBar::tabMoved);
    // Dragging is set from the press until the release.
    QTest::mousePress(f.bar, Qt::LeftButton, {}, f.Centre(0));
    QVERIFY(f.bar->Dragging());
    QTest::mouseMove(f.bar, f.Centre(2));
    QVERIFY(f.bar->Dragging());
    QTest::mouseMove(f.bar, f.Centre(3));
    QTest::mouseRelease(f.bar, Qt::LeftButton, {}, f.Centre(3));
    QCOMPARE(f.log, (std::vector<std::string>{"Fill 0", "Swap 0 1", "Swap 1 2", "Swap 2 3"}));
    QCOMPARE(f.Captions(), (QStringList{"COM2", "COM3", "COM4", "COM1"}));
    QCOMPARE(f.bar->TabIndex(), 3);
    QCOMPARE(f.bar->Current(), 3);
    QVERIFY(!f.bar->Dragging());
    QCOMPARE(moved.count(), 0);  // QTabBar's own moving stays out of it

    f.log.clear();
    f.Drag(f.Centre(3), f.Centre(1));
    QCOMPARE(f.log, (std::vector<std::string>{"Swap 3 2", "Swap 2 1"}));
    QCOMPARE(f.Captions(), (QStringList{"COM2", "COM1", "COM3", "COM4"}));
    QCOMPARE(f.bar->TabIndex(), 1);
    QCOMPARE(f.bar->Current(), 1);
  }

  void DropsThatChangeNothing_data() {
    QTest::addColumn<int>("from");
    QTest::addColumn<QPoint>("offset");  // from the centre of tab 1 to the release point
    QTest::addColumn<int>("emptyTab");
    // Onto itself: the drop is accepted but moves nothing.
    QTest::newRow("onto itself") << 1 << QPoint(6, 0) << -1;
    // Onto a tab without a caption: refused.
    QTest::newRow("empty caption") << 1 << QPoint() << 2;
    // Released below the bar, over no tab.
    QTest::newRow("outside") << 1 << QPoint(0, 200) << -1;
  }
  void DropsThatChangeNothing() {
    QFETCH(int, from);
    QFETCH(QPoint, offset);
    QFETCH(int, emptyTab);
    Fixture f;
    if (emptyTab >= 0) f.bar->setTabText(emptyTab, QString());
    QVERIFY(f.Show());
    const QStringList before = f.Captions();
    const QPoint to = emptyTab >= 0 ? f.Centre(emptyTab) : f.Centre(from) + offset;
    QCOMPARE(f.bar->DropAccepted(to), emptyTab < 0 && offset.y() == 0);
    f.Drag(f.Centre(from), to);
    QCOMPARE(f.log, std::vector<std::string>{"Fill 1"});
    QCOMPARE(f.Captions(), before);
    QCOMPARE(f.bar->TabIndex(), from);
    QCOMPARE(f.bar->Current(), from);
    QVERIFY(!f.bar->Dragging());
  }

  void ShortMovesAreNoDrag() {
    Fixture f;
    QVERIFY(f.Show());
    // Pressed two pixels from the border with tab 1, released three pixels
    // later over tab 1: the pointer never travelled 4 pixels.
    const QPoint border(f.bar->tabRect(0).right(), f.Centre(0).y());
    f.Drag(border - QPoint(1, 0), border + QPoint(2, 0));
    QCOMPARE(f.log, std::vector<std::string>{"Fill 0"});
    QCOMPARE(f.Captions(), (QStringList{"COM1", "COM2", "COM3", "COM4"}));
    QVERIFY(!f.bar->Dragging());
  }

  void CurrentFollowsItsTabWhenTabsComeAndGo() {
    Fixture f;
    QVERIFY(f.Show());
    f.Click(2);
    f.bar->insertTab(0, "COM9");
    QCOMPARE(f.bar->Current(), 3);
    f.bar->removeTab(0);
    QCOMPARE(f.bar->Current(), 2);
    f.bar->removeTab(2);
    QCOMPARE(f.bar->Current(), -1);
    // With the current tab gone, losing the focus reads nothing.
    f.log.clear();
    f.bar->setFocus();
    f.other->setFocus();
    QVERIFY(f.log.empty());
  }

  void WheelDoesNotSwitchTabs() {
    Fixture f;
    QVERIFY(f.Show());
    f.Click(1);
    const QPointF at = f.Centre(1);
    QWheelEvent wheel(at, f.bar->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(f.bar, &wheel);
    QCOMPARE(f.bar->TabIndex(), 1);
  }

  void PaintsTheBackgroundsThenTheOwnersContent() {
    Fixture f;
    f.bar->SetTabHeight(24);
    std::vector<std::pair<int, bool>> drawn;
    f.bar->SetOnDrawTab([&drawn](QPainter&, int index, const QRect&, bool active) {
      drawn.emplace_back(index, active);
    });
    f.bar->setCurrentIndex(1);
    QVERIFY(f.Show());
    drawn.clear();
    const QImage image = f.bar->grab().toImage();
    QCOMPARE(drawn.size(), size_t{4});
    for (const auto& [index, active] : drawn) QCOMPARE(active, index == 1);

    // The selected tab on the plain button face, the others shaded darker
    // towards their bottom.
    const QRect selected = f.bar->tabRect(1);
    QCOMPARE(QColor(image.pixel(selected.center())), ButtonFaceColour());
    const QRect other = f.bar->tabRect(3);
    const QColor high(image.pixel(other.center().x(), other.top() + 4));
    const QColor low(image.pixel(other.center().x(), other.bottom() - 3));
    QVERIFY(low.lightness() < high.lightness());
    QCOMPARE(f.bar->tabRect(0).height(), 24);
  }
};

QTEST_MAIN(TabControlSmartTest)
#include "TabControlSmartTest.moc"
