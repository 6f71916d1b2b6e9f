#pragma once
// The About box: the program's icon, name and version, the appeal for
// donations, the maker's two lines, and links to the maker's web page and
// mail address; Donate opens the donation page. Links and Donate go to the
// desktop's own programs through OpenDocument, never through a shell.
//
// Shown modally as the start-up splash (ShowSplash; the program decides
// whether) and without modality from the main window. OK, Enter and Esc
// close it; closing only hides it. Each time it is shown it is centred on
// the screen the pointer is on. The maker's lines and addresses are the build's (CMake cache
// variables, so a packager can give their own). Main thread only.

#include <QDialog>
#include <QIcon>
#include <QString>

class QLabel;

namespace tapwise {

class TBtnTransparent;
class TPanelTransparent;

struct AboutDetails {
  QString MakerLine;   // the maker's name (with a business number, if any)
  QString RightsLine;  // the maker's rights notice
  QString WebAddress;
  QString MailAddress;
  QString DonationPage;
};

// The program's icon (48 × 48), for its windows and the About box.
QIcon TapwiseIcon();

// What this build shows: the cache variables' values, the donation page
// being the web address followed by "?donate" unless one was given.
AboutDetails BuildAboutDetails();

class TAboutForm : public QDialog {
  Q_OBJECT
 public:
  explicit TAboutForm(QWidget* parent = nullptr, AboutDetails details = BuildAboutDetails());

  // Shows the box modally; returns when the user has closed it.
  void ShowSplash();

  QLabel* AboutIcon;
  QLabel* ProductName;
  QLabel* Revision;
  QLabel* Contact1;
  QLabel* Contact2;
  TBtnTransparent* DonateButton;
  TBtnTransparent* OKButton;

 protected:
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormActivate();
  void Contact1Click();
  void Contact2Click();
  void DonateButtonClick();

  AboutDetails m_details;
  TPanelTransparent* m_upperPanel;
  int m_stripTop = 0;
};

}  // namespace tapwise
