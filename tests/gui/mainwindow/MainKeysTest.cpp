// The main window's key table: what each key with each set of modifiers
// means before any control sees it, and which keys go on to the focused
// control untouched.

#include "gui/mainwindow/MainKeys.h"

#include <QtTest>

#include <set>

using namespace tapwise;

Q_DECLARE_METATYPE(MainKeyCommand::Kind)

namespace {

constexpr Qt::KeyboardModifiers None = Qt::NoModifier;
constexpr Qt::KeyboardModifiers Alt = Qt::AltModifier;
constexpr Qt::KeyboardModifiers Ctrl = Qt::ControlModifier;
constexpr Qt::KeyboardModifiers Shift = Qt::ShiftModifier;
constexpr Qt::KeyboardModifiers Meta = Qt::MetaModifier;
constexpr Qt::KeyboardModifiers Keypad = Qt::KeypadModifier;

void Row(const char* name, int key, Qt::KeyboardModifiers modifiers, MainKeyCommand::Kind action,
         int packet = 0, bool altKey = false) {
  QTest::newRow(name) << key << modifiers << action << packet << altKey;
}

}  // namespace

class MainKeysTest : public QObject {
  Q_OBJECT
 private slots:
  void Decode_data();
  void Decode();
  void FunctionKeysReachEveryUserPacketOnce();
};

void MainKeysTest::Decode_data() {
  QTest::addColumn<int>("key");
  QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
  QTest::addColumn<MainKeyCommand::Kind>("action");
  QTest::addColumn<int>("packet");
  QTest::addColumn<bool>("altKey");
  using K = MainKeyCommand;

  // Function keys: n, Ctrl n + 12, Shift n + 24, Ctrl+Shift n + 36.
  Row("F1", Qt::Key_F1, None, K::UserPacket, 1);
  Row("F12", Qt::Key_F12, None, K::UserPacket, 12);
  Row("Ctrl+F1", Qt::Key_F1, Ctrl, K::UserPacket, 13);
  Row("Ctrl+F12", Qt::Key_F12, Ctrl, K::UserPacket, 24);
  Row("Shift+F1", Qt::Key_F1, Shift, K::UserPacket, 25);
  Row("Shift+F12", Qt::Key_F12, Shift, K::UserPacket, 36);
  Row("Ctrl+Shift+F1", Qt::Key_F1, Ctrl | Shift, K::UserPacket, 37);
  Row("Ctrl+Shift+F12", Qt::Key_F12, Ctrl | Shift, K::UserPacket, 48);
  Row("F4 alone is a packet", Qt::Key_F4, None, K::UserPacket, 4);
  Row("Ctrl+F4 is a packet", Qt::Key_F4, Ctrl, K::UserPacket, 16);
  Row("F5 from the keypad", Qt::Key_F5, Keypad, K::UserPacket, 5);
  // Any other combination with a function key is eaten and sends nothing.
  Row("Alt+F5", Qt::Key_F5, Alt, K::Swallow);
  Row("Alt+Ctrl+F1", Qt::Key_F1, Alt | Ctrl, K::Swallow);
  Row("Alt+Shift+F12", Qt::Key_F12, Alt | Shift, K::Swallow);
  Row("Meta+F2", Qt::Key_F2, Meta, K::Swallow);
  Row("Ctrl+Meta+F2", Qt::Key_F2, Ctrl | Meta, K::Swallow);
  Row("F13 is not a function key of the window", Qt::Key_F13, None, K::None);
  // Alt+F4 closes whatever else is held.
  Row("Alt+F4", Qt::Key_F4, Alt, K::Close);
  Row("Alt+Ctrl+F4", Qt::Key_F4, Alt | Ctrl, K::Close);
  Row("Alt+Shift+F4", Qt::Key_F4, Alt | Shift, K::Close);
  // Alt letters work the toolbar; the recorder buttons are looked at after
  // every Alt key, known letter or not.
  Row("Alt+F", Qt::Key_F, Alt, K::Freeze, 0, true);
  Row("Alt+C", Qt::Key_C, Alt, K::Clear, 0, true);
  Row("Alt+P", Qt::Key_P, Alt, K::Play, 0, true);
  Row("Alt+R", Qt::Key_R, Alt, K::Record, 0, true);
  Row("Alt+S", Qt::Key_S, Alt, K::Stop, 0, true);
  Row("Alt+A", Qt::Key_A, Alt, K::Pause, 0, true);
  Row("Alt+X", Qt::Key_X, Alt, K::Close, 0, true);
  Row("Alt+U", Qt::Key_U, Alt, K::UserPacketsWindow, 0, true);
  Row("Alt+O", Qt::Key_O, Alt, K::Options, 0, true);
  Row("Alt+H", Qt::Key_H, Alt, K::About, 0, true);
  Row("Alt+T", Qt::Key_T, Alt, K::StatisticsWindow, 0, true);
  Row("Alt+Shift+C", Qt::Key_C, Alt | Shift, K::Clear, 0, true);
  Row("Alt+Ctrl+S", Qt::Key_S, Alt | Ctrl, K::Stop, 0, true);
  Row("Alt+Q is not consumed", Qt::Key_Q, Alt, K::None, 0, true);
  Row("Alt+1 is not consumed", Qt::Key_1, Alt, K::None, 0, true);
  Row("Alt+Page Down does not scroll", Qt::Key_PageDown, Alt, K::None, 0, true);
  Row("Alt+Up does not scroll", Qt::Key_Up, Alt, K::None, 0, true);
  // Without Alt: Page and arrow keys scroll, whatever else is held.
  Row("Page Down", Qt::Key_PageDown, None, K::PageDown);
  Row("Page Up", Qt::Key_PageUp, None, K::PageUp);
  Row("Down", Qt::Key_Down, None, K::LineDown);
  Row("Up", Qt::Key_Up, None, K::LineUp);
  Row("Ctrl+Page Down", Qt::Key_PageDown, Ctrl, K::PageDown);
  Row("Shift+Up", Qt::Key_Up, Shift, K::LineUp);
  Row("Down from the keypad", Qt::Key_Down, Keypad, K::LineDown);
  // Everything else goes on to the focused control (and to the port).
  Row("letter without Alt", Qt::Key_F, None, K::None);
  Row("X without Alt", Qt::Key_X, Shift, K::None);
  Row("Meta+F is no Alt key", Qt::Key_F, Meta, K::None);
  Row("Return", Qt::Key_Return, None, K::None);
  Row("Escape", Qt::Key_Escape, None, K::None);
  Row("Left", Qt::Key_Left, None, K::None);
  Row("Right", Qt::Key_Right, None, K::None);
  Row("Home", Qt::Key_Home, None, K::None);
  Row("End", Qt::Key_End, None, K::None);
  Row("Tab", Qt::Key_Tab, None, K::None);
}

void MainKeysTest::Decode() {
  QFETCH(int, key);
  QFETCH(Qt::KeyboardModifiers, modifiers);
  QFETCH(MainKeyCommand::Kind, action);
  QFETCH(int, packet);
  QFETCH(bool, altKey);
  const MainKeyCommand command = DecodeMainKey(key, modifiers);
  QCOMPARE(command.Action, action);
  QCOMPARE(command.Packet, packet);
  QCOMPARE(command.AltKey, altKey);
  QCOMPARE(command.Consumed(), action != MainKeyCommand::None);
}

void MainKeysTest::FunctionKeysReachEveryUserPacketOnce() {
  std::set<int> packets;
  for (Qt::KeyboardModifiers modifiers : {None, Ctrl, Shift, Ctrl | Shift}) {
    for (int key = Qt::Key_F1; key <= Qt::Key_F12; ++key) {
      const MainKeyCommand command = DecodeMainKey(key, modifiers);
      QCOMPARE(command.Action, MainKeyCommand::UserPacket);
      QVERIFY2(packets.insert(command.Packet).second, qPrintable(QString::number(command.Packet)));
    }
  }
  QCOMPARE(packets.size(), size_t{48});
  QCOMPARE(*packets.begin(), 1);
  QCOMPARE(*packets.rbegin(), 48);
}

QTEST_APPLESS_MAIN(MainKeysTest)
#include "MainKeysTest.moc"
