// The User Defined Packets window and the display's clipboard commands over
// a real session whose COM3 is a pseudo-terminal, offscreen, inside the
// main window that owns them: what is edited, pasted, moved and triggered in
// the grid is what goes out on the wire, and what the clipboard holds is what
// the display's menu sends.

#include "gui/userpackets/UserPacketsForm.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QScrollArea>
#include <QTest>

#include <algorithm>
#include <memory>
#include <vector>

#include "gui/controls/CheckBoxTransparent.h"
#include "gui/controls/DrawGridZebra.h"
#include "gui/controls/WindowsLib.h"
#include "gui/mainwindow/DisplayPaintBox.h"
#include "gui/mainwindow/TWMain.h"
#include "gui/mainwindow/ToolWindows.h"
#include "gui/userpackets/UserPacketsModel.h"
#include "support/PtyPorts.h"
#include "support/window/WindowRig.h"

using namespace tapwise;
using namespace std::chrono_literals;

namespace {

// The window shown by Alt+U in a main window over COM3, a pseudo-terminal.
struct Rig {
  PtyPorts ports;
  Pty& wire;  // COM3's far end; outlives the session
  WindowRig window;
  RigDialogs& dialogs = window.dialogs;
  TTWForm* main = nullptr;
  TUserPacketsForm* form = nullptr;
  TDrawGridZebra* grid = nullptr;

  explicit Rig(SettingsStore* settings = nullptr) : wire(ports.AddPort(3)), window(&ports.opener, settings) {}

  // As the user opens it.
  bool Start() {
    if (!window.Start()) return false;
    main = window.form.get();
    QTest::keyClick(main, Qt::Key_U, Qt::AltModifier);
    form = &main->Tools().UserPackets();
    grid = form->UserPacketsGrid;
    if (!QTest::qWaitForWindowExposed(form)) return false;
    form->activateWindow();
    return QTest::qWaitForWindowActive(form);
  }

  UserPacketTable& Table() { return window.session->GetUserPackets().Table(); }
  std::string Cell(int col, int row) const { return form->Model()->CellText(col, row); }
  QPoint CellCentre(int col, int row) const { return grid->CellRect(col, row).center(); }
  // The middle of a row's key cell, in the fixed column.
  QPoint KeyCentre(int row) const {
    QHeaderView* keys = grid->verticalHeader();
    return {keys->width() / 2, keys->sectionViewportPosition(row - 1) + keys->sectionSize(row - 1) / 2};
  }
  QWidget* Focus() const { return QApplication::focusWidget() ? QApplication::focusWidget() : form; }
  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(Focus(), static_cast<Qt::Key>(key), modifiers);
  }
  // The events of a double click as the window system sends them: press,
  // release, press, double click, release.
  void DoubleClick(int col, int row) {
    QWidget* cells = grid->viewport();
    const QPoint at = CellCentre(col, row);
    QTest::mouseClick(cells, Qt::LeftButton, {}, at);
    QTest::mousePress(cells, Qt::LeftButton, {}, at);
    QMouseEvent twice(QEvent::MouseButtonDblClick, at, cells->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(cells, &twice);
    QTest::mouseRelease(cells, Qt::LeftButton, {}, at);
  }
  // Double click, type, Enter: as the user edits a cell.
  void EditCell(int col, int row, const QString& text) {
    grid->scrollTo(grid->model()->index(row - 1, col - 1));
    DoubleClick(col, row);
    QTRY_VERIFY(grid->Editing());
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_VERIFY(!grid->Editing());
  }
  // Lets the main window's timer run.
  void Settle() { QTest::qWait(150); }
};

QString Clipboard() { return QGuiApplication::clipboard()->text(); }
void SetClipboard(const QString& text) { QGuiApplication::clipboard()->setText(text); }

}  // namespace

class UserPacketsFormTest : public QObject {
  Q_OBJECT
 private slots:
  void EditedCellChangesWhatTheFunctionKeysSend() {
    Rig rig;
    QVERIFY(rig.Start());
    QCOMPARE(rig.form->windowTitle(), QString("User Defined Packets"));
    QCOMPARE(rig.Cell(0, 0) + rig.Cell(1, 0) + rig.Cell(2, 0), std::string("KeyUser PacketTrigger"));
    rig.EditCell(UserPacketsModel::PacketColumn, 1, "  41 42  ");
    QCOMPARE(rig.Table().PacketText(1), std::string("41 42"));
    QVERIFY(rig.window.session->Project().ConfigChanged());
    rig.Table().SetPacketText(13, "13");
    rig.Table().SetPacketText(25, "25");
    rig.Table().SetPacketText(37, "37");
    rig.grid->setFocus();
    const struct {
      Qt::KeyboardModifiers modifiers;
      Pty::Bytes sent;
    } keys[] = {{Qt::NoModifier, {0x41, 0x42}},
                {Qt::ControlModifier, {0x13}},
                {Qt::ShiftModifier, {0x25}},
                {Qt::ControlModifier | Qt::ShiftModifier, {0x37}},
                {Qt::AltModifier, {}}};
    for (const auto& k : keys) {
      rig.Key(Qt::Key_F1, k.modifiers);
      QCOMPARE(rig.wire.ReadFor(std::max<size_t>(1, k.sent.size()), k.sent.empty() ? 300ms : 5000ms), k.sent);
      // Function keys never start an edit.
      QVERIFY(!rig.grid->Editing());
    }
    // Play from the menu sends the row of the current cell, whichever column.
    rig.grid->SetCurrentCell(UserPacketsModel::TriggerColumn, 13);
    rig.form->mPlay->trigger();
    QCOMPARE(rig.wire.ReadFor(1), Pty::Bytes{0x13});
  }

  void TriggerTypedIntoTheGridAnswersOnTheWire() {
    Rig rig;
    QVERIFY(rig.Start());
    rig.EditCell(UserPacketsModel::TriggerColumn, 3, "01 02");
    rig.EditCell(UserPacketsModel::PacketColumn, 3, "\"OK\"");
    QTest::mouseClick(rig.form->cbTrigger, Qt::LeftButton);
    QCOMPARE(rig.window.session->GetUserPackets().GetTriggerMode(), TriggerMode::WholePacket);
    QVERIFY(rig.wire.WriteAll({0x01, 0x02}));
    QCOMPARE(rig.wire.ReadFor(2), (Pty::Bytes{'O', 'K'}));
    QVERIFY(rig.wire.WriteAll({0x00, 0x01, 0x02}));
    QVERIFY(rig.wire.ReadFor(1, 400ms).empty());

    // Ticking the other box unticks the first; unticking leaves both off.
    QTest::mouseClick(rig.form->cbTriggerPart, Qt::LeftButton);
    QVERIFY(!rig.form->cbTrigger->isChecked());
    QCOMPARE(rig.window.session->GetUserPackets().GetTriggerMode(), TriggerMode::PartPacket);
    QVERIFY(rig.wire.WriteAll({0x00, 0x01, 0x02}));
    QCOMPARE(rig.wire.ReadFor(2), (Pty::Bytes{'O', 'K'}));
    QTest::mouseClick(rig.form->cbTriggerPart, Qt::LeftButton);
    QVERIFY(!rig.form->cbTrigger->isChecked() && !rig.form->cbTriggerPart->isChecked());
    QCOMPARE(rig.window.session->GetUserPackets().GetTriggerMode(), TriggerMode::Off);

    // The boxes show a mode set elsewhere (the -trigger options) when shown.
    rig.form->hide();
    rig.window.session->GetUserPackets().SetTriggerMode(TriggerMode::PartPacket);
    rig.form->show();
    QVERIFY(rig.form->cbTriggerPart->isChecked());
  }

  void BadTriggerShowsItsMessageOnce() {
    Rig rig;
    QVERIFY(rig.Start());
    rig.Table().SetTriggerText(2, "05");
    rig.EditCell(UserPacketsModel::TriggerColumn, 4, "01 GG");
    rig.Settle();
    QCOMPARE(rig.dialogs.shown, std::vector<std::string>{"\\bError in Trigger Packet #4"});
    const auto triggers = rig.window.session->GetUserPackets().Triggers();
    QCOMPARE(triggers->Length(4), uint8_t{0});
    QCOMPARE(triggers->Length(2), uint8_t{1});
    // Leaving a cell unchanged is no change: no rebuild, no message again.
    rig.EditCell(UserPacketsModel::TriggerColumn, 4, "01 GG");
    rig.Settle();
    QCOMPARE(rig.dialogs.shown.size(), size_t{1});
    // Every real change rebuilds and so names the faulty trigger again.
    rig.EditCell(UserPacketsModel::PacketColumn, 9, "09");
    rig.Settle();
    QCOMPARE(rig.dialogs.Count("\\bError in Trigger Packet #4"), size_t{2});
  }

  void DraggedRowTakesItsTextsAndTheKeyOfItsNewPlace() {
    Rig rig;
    QVERIFY(rig.Start());
    for (int row = 1; row <= 4; ++row) {
      rig.Table().SetPacketText(row, "0" + std::to_string(row));
      rig.Table().SetTriggerText(row, "F" + std::to_string(row));
    }
    rig.form->TableReloaded();
    QWidget* keys = rig.grid->verticalHeader()->viewport();
    QTest::mousePress(keys, Qt::LeftButton, {}, rig.KeyCentre(1));
    QTest::mouseMove(keys, rig.KeyCentre(2));
    // Past the middle of row 3's key, as the grid takes a row's place there.
    const QPoint onThree = rig.KeyCentre(3) + QPoint(0, 3);
    QTest::mouseMove(keys, onThree);
    QTest::mouseRelease(keys, Qt::LeftButton, {}, onThree);
    const std::vector<std::string> packets = {rig.Cell(1, 1), rig.Cell(1, 2), rig.Cell(1, 3), rig.Cell(1, 4)};
    QCOMPARE(packets, (std::vector<std::string>{"02", "03", "01", "04"}));
    QCOMPARE(rig.Cell(2, 3), std::string("F1"));
    QCOMPARE(rig.Cell(0, 3), std::string("F3"));
    QVERIFY(rig.window.session->Project().ConfigChanged());
    // The moved triggers are rebuilt with their rows.
    QCOMPARE(rig.window.session->GetUserPackets().Triggers()->Bytes(3)[0], uint8_t{0xF1});
    rig.grid->setFocus();
    rig.Key(Qt::Key_F3);
    QCOMPARE(rig.wire.ReadFor(1), Pty::Bytes{0x01});
    rig.Key(Qt::Key_F1);
    QCOMPARE(rig.wire.ReadFor(1), Pty::Bytes{0x02});
  }

  void ClipboardCommandsOfTheGrid() {
    Rig rig;
    QVERIFY(rig.Start());
    rig.grid->setFocus();
    enum Command { Cut, Copy, Paste, PasteAscii };
    const struct {
      Command command;
      bool byKey;  // Ctrl+X, C, V; else the popup menu
      const char* clipboardBefore;
      const char* cellBefore;
      const char* cellAfter;
      const char* clipboardAfter;
    } cases[] = {
        {Paste, true, "  01 02\r\n", "x", "01 02", "  01 02\r\n"},
        {Paste, false, "01\r\n02", "", "01  02", "01\r\n02"},
        {PasteAscii, false, "48 65 6C 6C 6F 0D 0A", "", "\"Hello\" 0D 0A ", "48 65 6C 6C 6F 0D 0A"},
        {PasteAscii, false, "41 42 43", "", "\"ABC\"", "41 42 43"},
        {PasteAscii, false, "01 41", "", "01 \"A\"", "01 41"},
        {PasteAscii, false, "41 01", "", "\"A\" 01 ", "41 01"},
        {PasteAscii, false, "41 4", "", "\"A\" 04 ", "41 4"},
        {PasteAscii, false, "A", "", "0A ", "A"},
        {PasteAscii, false, "41 XY", "", "41 XY", "41 XY"},
        {Copy, true, "old", "\"A|B\"", "\"A|B\"", "\"A|B\""},
        {Copy, false, "old", "7E", "7E", "7E"},
        {Cut, true, "old", "01 02", "", "01 02"},
        {Cut, false, "old", "", "", ""},
    };
    for (const auto& c : cases) {
      rig.Table().SetPacketText(5, c.cellBefore);
      rig.grid->SetCurrentCell(UserPacketsModel::PacketColumn, 5);
      SetClipboard(c.clipboardBefore);
      rig.window.session->Project().SetConfigChanged(false);
      const auto before = rig.window.session->GetUserPackets().Triggers();
      if (c.byKey) {
        const int keys[] = {Qt::Key_X, Qt::Key_C, Qt::Key_V};
        rig.Key(keys[c.command], Qt::ControlModifier);
      } else {
        QAction* actions[] = {rig.form->mCut, rig.form->mCopy, rig.form->mPaste, rig.form->mPasteAscii};
        actions[c.command]->trigger();
      }
      QCOMPARE(rig.Table().PacketText(5), std::string(c.cellAfter));
      QCOMPARE(Clipboard(), QString(c.clipboardAfter));
      // Cut and both pastes always rebuild, even when nothing changed.
      const bool changes = c.command != Copy;
      QCOMPARE(rig.window.session->Project().ConfigChanged(), changes);
      QCOMPARE(rig.window.session->GetUserPackets().Triggers() != before, changes);
    }
    // A hex list pasted as "ASCII" compiles back to the bytes it listed.
    SetClipboard("48 65 6C 6C 6F 0D 0A");
    rig.form->mPasteAscii->trigger();
    rig.grid->setFocus();
    rig.Key(Qt::Key_F5);
    QCOMPARE(rig.wire.ReadFor(7), (Pty::Bytes{'H', 'e', 'l', 'l', 'o', 0x0D, 0x0A}));
    rig.Table().SetPacketText(5, "\"A|B\"");
    rig.Key(Qt::Key_F5);
    QCOMPARE(rig.wire.ReadFor(3), (Pty::Bytes{0x41, 0x7C, 0x42}));
  }

  void RightClickOpensTheMenuOnTextCellsOnly() {
    Rig rig;
    QVERIFY(rig.Start());
    rig.Table().SetPacketText(6, "66");
    QTest::mouseClick(rig.grid->verticalHeader()->viewport(), Qt::RightButton, {}, rig.KeyCentre(6));
    QTest::mouseClick(rig.grid->horizontalHeader()->viewport(), Qt::RightButton, {}, QPoint(100, 5));
    QVERIFY(!rig.form->PopupMenu->isVisible());
    QWidget* cells = rig.grid->viewport();
    QCOMPARE(rig.grid->Row(), 1);
    QTest::mouseClick(cells, Qt::RightButton, {}, rig.CellCentre(UserPacketsModel::TriggerColumn, 6));
    QTRY_VERIFY(rig.form->PopupMenu->isVisible());
    QCOMPARE(rig.grid->Col(), int{UserPacketsModel::TriggerColumn});
    QCOMPARE(rig.grid->Row(), 6);
    QCOMPARE(rig.form->PopupMenu->defaultAction(), rig.form->mPlay);
    rig.form->PopupMenu->hide();
    rig.form->mPlay->trigger();
    QCOMPARE(rig.wire.ReadFor(1), Pty::Bytes{0x66});
  }

  void WheelScrollsByTheStepRule() {
    // The grid's rule with the rows counted as the grid counts them: 61
    // with the header row.
    const struct {
      int top, visible;
      bool down;
      int newTop;
    } notches[] = {{5, 11, true, 6},   {5, 12, true, 7},  {48, 12, true, 49}, {47, 12, true, 49},
                   {46, 12, true, 48}, {2, 12, false, 1}, {3, 12, false, 1},  {9, 12, false, 7},
                   {1, 5, false, 1},   {1, 0, true, 2}};
    for (const auto& n : notches) {
      QCOMPARE(TDrawGridMouseWheel::WheelTopRow(n.top, n.visible, 61, n.down), n.newTop);
    }
    Rig rig;
    QVERIFY(rig.Start());
    // A window showing 12 whole rows, with row 48 at the top.
    for (int height = 150; height < 600 && rig.grid->VisibleRowCount() != 12; ++height) {
      rig.form->resize(rig.form->width(), height);
      QApplication::processEvents();
    }
    QCOMPARE(rig.grid->VisibleRowCount(), 12);
    rig.grid->SetCurrentCell(1, 2);
    rig.grid->SetTopRow(48);
    const QPoint at = rig.grid->viewport()->rect().center();
    auto wheel = [&](int delta) {
      QWheelEvent event(at, rig.grid->viewport()->mapToGlobal(at), {}, QPoint(0, delta), Qt::NoButton,
                        Qt::NoModifier, Qt::NoScrollPhase, false);
      QApplication::sendEvent(rig.grid->viewport(), &event);
    };
    wheel(-120);
    QCOMPARE(rig.grid->TopRow(), 49);
    rig.grid->SetTopRow(2);
    wheel(120);
    QCOMPARE(rig.grid->TopRow(), 1);
    QCOMPARE(rig.grid->Row(), 2);
  }

  void EscHidesTheWindowAlsoWhileEditing() {
    Rig rig;
    QVERIFY(rig.Start());
    rig.DoubleClick(1, 2);
    QTRY_VERIFY(rig.grid->Editing());
    QTest::keyClicks(QApplication::focusWidget(), "12");
    rig.Key(Qt::Key_Escape);
    QVERIFY(!rig.form->isVisible());
    QVERIFY(!rig.grid->Editing());
    // What was typed is kept, as on leaving the cell.
    QCOMPARE(rig.Table().PacketText(2), std::string("12"));
    QTest::keyClick(rig.main, Qt::Key_U, Qt::AltModifier);
    QTRY_VERIFY(rig.form->isVisible());
    rig.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(rig.form));
    rig.Key(Qt::Key_Escape);
    QVERIFY(!rig.form->isVisible());
  }

  void RowsAreZebraStripedAndTheCurrentCellHighlighted() {
    Rig rig;
    QVERIFY(rig.Start());
    rig.grid->SetCurrentCell(UserPacketsModel::TriggerColumn, 1);
    const QImage image = rig.grid->viewport()->grab().toImage();
    auto colourAt = [&](int col, int row) {
      const QRect cell = rig.grid->CellRect(col, row);
      return image.pixelColor(cell.right() - 3, cell.bottom() - 2);
    };
    const QImage keys = rig.grid->verticalHeader()->viewport()->grab().toImage();
    QCOMPARE(keys.pixelColor(keys.width() - 4, rig.KeyCentre(2).y() + 6), ButtonFaceColour());
    QCOMPARE(colourAt(1, 1), WindowColour());
    QCOMPARE(colourAt(1, 2), rig.grid->ColorZebra());
    QCOMPARE(rig.grid->ColorZebra(), QColor(255, 255, 208));
    QCOMPARE(colourAt(1, 3), WindowColour());
    QCOMPARE(colourAt(2, 1), rig.grid->palette().color(QPalette::Highlight));
  }

  void PlacementAndColumnWidthsAreKept() {
    SettingsStore settings;
    settings.Create();
    {
      Rig rig(&settings);
      QVERIFY(rig.Start());
      QCOMPARE(rig.form->ColumnWidths(), (std::vector<int32_t>{62, 255, 141}));
      rig.form->SetColumnWidths({70, 200, 90});
      rig.form->move(60, 130);
      rig.form->resize(500, 300);
    }
    for (const char* line : {"WinUserPacketsFormLeft\t60", "WinUserPacketsFormWidth\t500",
                             "WinUserPacketsFormHeight\t300", "UserPacketsFormGrid1\t70",
                             "UserPacketsFormGrid2\t200", "UserPacketsFormGrid3\t90"}) {
      QVERIFY2(std::find(settings.Lines().begin(), settings.Lines().end(), line) != settings.Lines().end(), line);
    }
    Rig again(&settings);
    QVERIFY(again.Start());
    QCOMPARE(again.form->ColumnWidths(), (std::vector<int32_t>{70, 200, 90}));
    QCOMPARE(again.form->size(), QSize(500, 300));
    QCOMPARE(again.form->x(), 60);
  }

  // The display's popup menu.
  void ClipboardPlaysOutOfTheSelectedPort() {
    Rig rig;
    QVERIFY(rig.Start());
    DisplayPaintBox* display = rig.main->Display();
    const struct {
      bool hexMode;
      QString clipboard;
      QAction* DisplayPaintBox::*command;
      Pty::Bytes sent;
      bool invalid;
    } cases[] = {
        {true, "01 02 0D", &DisplayPaintBox::mSendHex, {0x01, 0x02, 0x0D}, false},
        {true, "01 02 0D", &DisplayPaintBox::mSend, {0x30, 0x31, 0x20, 0x30, 0x32, 0x20, 0x30, 0x44}, false},
        {true, "01\r\n02", &DisplayPaintBox::mSendHex, {0x01, 0x02}, false},
        {true, "01 0G", &DisplayPaintBox::mSendHex, {}, true},
        {true, "", &DisplayPaintBox::mSendHex, {}, false},
        {true, "", &DisplayPaintBox::mSend, {}, false},
        {false, "01 02", &DisplayPaintBox::mSendHex, {0x30, 0x31, 0x20, 0x30, 0x32}, false},
    };
    for (const auto& c : cases) {
      rig.window.session->Drain().SetHexDisplay(c.hexMode);
      SetClipboard(c.clipboard);
      rig.dialogs.shown.clear();
      (display->*c.command)->trigger();
      QCOMPARE(rig.wire.ReadFor(std::max<size_t>(1, c.sent.size()), c.sent.empty() ? 300ms : 5000ms), c.sent);
      QCOMPARE(rig.dialogs.Count("\\b\\1Invalid Hex Data in Clipboard"), size_t{c.invalid});
    }
    // A clipboard of 5000 characters goes as one packet of the first 4096.
    rig.window.session->Drain().SetHexDisplay(false);
    SetClipboard(QString(5000, 'z'));
    display->mSend->trigger();
    QCOMPARE(rig.wire.ReadFor(5000, 2000ms), Pty::Bytes(4096, 'z'));
  }

  // A megabyte of anything on the clipboard: at most one packet of 4096
  // bytes goes out, and the grid keeps what was pasted, whole.
  void AnyClipboardGivesOnePacketAtMost() {
    Rig rig;
    QVERIFY(rig.Start());
    QString junk;
    for (int i = 0; i < 1'000'000; ++i) junk += QChar(static_cast<char16_t>(i * 37 % 256));
    SetClipboard(junk);
    DisplayPaintBox* display = rig.main->Display();
    for (bool hex : {true, false}) {
      rig.window.session->Drain().SetHexDisplay(hex);
      display->mSend->trigger();
      display->mSendHex->trigger();
      QCOMPARE(rig.wire.ReadFor(hex ? 4096 : 8192).size(), hex ? size_t{4096} : size_t{8192});
      QVERIFY(rig.wire.ReadFor(1, 300ms).empty());
    }
    // The packets were one each, of 4096 bytes.
    rig.Settle();
    QCOMPARE(rig.window.session->Drain().PacketCounter(), uint16_t{3});
    QCOMPARE(rig.dialogs.Count("\\b\\1Invalid Hex Data in Clipboard"), size_t{1});
    rig.grid->SetCurrentCell(UserPacketsModel::PacketColumn, 8);
    rig.form->mPasteAscii->trigger();
    rig.grid->SetCurrentCell(UserPacketsModel::TriggerColumn, 8);
    rig.form->mPaste->trigger();
    const size_t pasted = rig.Table().TriggerText(8).size();
    QVERIFY(pasted > 900'000);
    QVERIFY(!rig.grid->viewport()->grab().isNull());
    rig.DoubleClick(UserPacketsModel::TriggerColumn, 8);
    QTRY_VERIFY(rig.grid->Editing());
    rig.Key(Qt::Key_Escape);
    QCOMPARE(rig.Table().TriggerText(8).size(), pasted);
    rig.Settle();
    // Too long for a trigger, refused with its message; nothing was sent.
    QVERIFY(rig.dialogs.Count("\\bError in Trigger Packet #8") >= 1);
    QVERIFY(rig.wire.ReadFor(1, 300ms).empty());
  }

  void SelectedPacketIsCopiedAndPlayedBackByteForByte() {
    Rig rig;
    QVERIFY(rig.Start());
    DisplayPaintBox* display = rig.main->Display();
    Pty::Bytes packet;
    for (int i = 0; i < 40; ++i) packet.push_back(static_cast<uint8_t>(i * 7 + 3));
    QVERIFY(rig.wire.WriteAll(packet));
    QTRY_COMPARE_WITH_TIMEOUT(rig.window.session->Drain().Buffer().LineCount(), 3, 3000);
    QTest::mouseClick(display, Qt::LeftButton, {}, QPoint(20, display->LineHeight() + 2));
    display->mPlayThisPacket->trigger();
    QCOMPARE(rig.wire.ReadFor(40), packet);

    display->mCopy->trigger();
    QVERIFY(Clipboard().startsWith("03 0A 11 18  1F"));
    QCOMPARE(Clipboard().count("\r\n"), 3);
    display->mSendHex->trigger();
    QCOMPARE(rig.wire.ReadFor(40), packet);
    // Pasted into a user packet, the same clipboard sends the same bytes.
    rig.grid->SetCurrentCell(UserPacketsModel::PacketColumn, 7);
    rig.form->mPaste->trigger();
    rig.grid->setFocus();
    rig.Key(Qt::Key_F7);
    QCOMPARE(rig.wire.ReadFor(40), packet);
  }
};

QTEST_MAIN(UserPacketsFormTest)
#include "UserPacketsFormTest.moc"
