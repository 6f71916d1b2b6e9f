// The About box offscreen: what it shows, where its links and Donate go
// (caught by URL handlers, so no browser starts), and how it closes, as a
// splash and beside the main window.

#include "gui/about/AboutForm.h"

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <vector>

#include "gui/controls/BtnTransparent.h"
#include "gui/controls/WindowsLib.h"

using namespace tapwise;

class AboutFormTest : public QObject {
  Q_OBJECT
 public slots:
  // The desktop's stand-in: every address the box asks it to open.
  void Open(const QUrl& url) { m_opened.push_back(url); }

 private slots:
  void initTestCase() {
    for (const char* scheme : {"https", "mailto"}) QDesktopServices::setUrlHandler(scheme, this, "Open");
  }

  void ShowsTheProgramItsVersionAndTheBuildsMaker() {
    TAboutForm box;
    QCOMPARE(box.ProductName->text(), QString("Tapwise"));
    QCOMPARE(box.Revision->text(), QString::fromStdString(FileVersionString()));
    QVERIFY(!box.Revision->text().isEmpty());
    QVERIFY(!box.AboutIcon->pixmap().isNull());
    const AboutDetails built = BuildAboutDetails();
    QVERIFY(built.WebAddress.startsWith("https://"));
    QCOMPARE(box.Contact1->text(), built.WebAddress);
    QCOMPARE(box.Contact2->text(), built.MailAddress);
    // No donation page given: the web address asks for it.
    QCOMPARE(built.DonationPage, built.WebAddress + "?donate");
  }

  void LinksAndDonateOpenTheirAddresses() {
    m_opened.clear();
    TAboutForm box(nullptr, {"Maker", "Rights", "https://maker.invalid/tw", "help@maker.invalid",
                             "https://maker.invalid/give"});
    box.show();
    QTest::mouseClick(box.Contact1, Qt::LeftButton);
    QTest::mouseClick(box.Contact2, Qt::LeftButton);
    QTest::mouseClick(box.DonateButton, Qt::LeftButton);
    const std::vector<QUrl> expected = {QUrl("https://maker.invalid/tw"), QUrl("mailto:help@maker.invalid"),
                                        QUrl("https://maker.invalid/give")};
    QCOMPARE(m_opened, expected);
    QVERIFY(box.isVisible());
  }

  void OkEnterAndEscCloseTheBox() {
    TAboutForm box;
    const std::vector<std::function<void()>> closers = {
        [&box] { QTest::mouseClick(box.OKButton, Qt::LeftButton); },
        [&box] { QTest::keyClick(&box, Qt::Key_Return); },
        [&box] { QTest::keyClick(&box, Qt::Key_Escape); },
    };
    for (const auto& close : closers) {
      box.show();
      QVERIFY(box.isVisible());
      close();
      QVERIFY(!box.isVisible());
    }
  }

  void TheSplashHoldsUntilClosed() {
    TAboutForm box;
    bool wasModal = false;
    QTimer::singleShot(50, &box, [&] {
      wasModal = QApplication::activeModalWidget() == &box;
      QTest::keyClick(&box, Qt::Key_Escape);
    });
    box.ShowSplash();
    QVERIFY(wasModal);
    QVERIFY(!box.isVisible());
    // Shown again from the main window it is not modal.
    box.show();
    QVERIFY(!box.isModal());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
  }

  // With no window manager to place it, the box goes to the middle of the
  // screen itself, as a splash and later, wherever the pointer is on it
  // (the pointer of a bare X server starts in the middle).
  void TheBoxOpensInTheMiddleOfTheScreen() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    QVERIFY(screen);
    const QRect free = screen->availableGeometry();
    for (const QPoint pointer : {free.center(), free.topLeft(), free.bottomRight() - QPoint(10, 10)}) {
      QCursor::setPos(pointer);
      TAboutForm box;
      QRect placed;
      QTimer::singleShot(50, &box, [&] {
        placed = box.frameGeometry();
        QTest::keyClick(&box, Qt::Key_Escape);
      });
      box.ShowSplash();
      QVERIFY(free.contains(placed));
      QVERIFY2((placed.center() - free.center()).manhattanLength() <= 2, qPrintable(QString("%1,%2 %3x%4")
                   .arg(placed.x()).arg(placed.y()).arg(placed.width()).arg(placed.height())));
      box.show();
      QVERIFY((box.frameGeometry().center() - free.center()).manhattanLength() <= 2);
      box.hide();
    }
  }

 private:
  std::vector<QUrl> m_opened;
};

QTEST_MAIN(AboutFormTest)
#include "AboutFormTest.moc"
