#include "gui/about/AboutForm.h"

#include <QApplication>
#include <QEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <mutex>

#include "gui/controls/AnsiText.h"
#include "gui/controls/Box.h"
#include "gui/controls/BtnTransparent.h"
#include "gui/controls/PanelTransparent.h"
#include "gui/controls/WindowFont.h"
#include "gui/controls/WindowsLib.h"

// The resources of a static library are registered by hand, once, and from
// outside any namespace.
static void RegisterAboutResources() {
  static std::once_flag once;
  std::call_once(once, [] { Q_INIT_RESOURCE(about); });
}

namespace tapwise {

namespace {

// The program's own name, as its title and the About box show it.
const char* const ProductTitle = "Tapwise";
const char* const DonationText =
    "This programme is paid for entirely by donation. If you find this programme useful, please give "
    "something in support. Thanks.";

constexpr int Border = 4;
constexpr int PanelWidth = 274;
constexpr int PanelHeight = 201;
constexpr int StripHeight = 31;
constexpr int ButtonWidth = 66;
constexpr int ButtonHeight = 25;
constexpr int PictureSize = 32;

QFont Styled(const QString& family, int pixelSize, bool bold, bool italic) {
  QFont font(family);
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  font.setItalic(italic);
  return font;
}

QIcon ApplicationIcon() {
  const QIcon icon = QApplication::windowIcon();
  return icon.isNull() ? TapwiseIcon() : icon;
}

// The corner picture: a nine-pin serial plug.
QPixmap PlugPicture() {
  QPixmap picture(PictureSize, PictureSize);
  picture.fill(Qt::transparent);
  QPainter canvas(&picture);
  canvas.setRenderHint(QPainter::Antialiasing);
  QPainterPath shell;
  shell.moveTo(2, 9);
  shell.lineTo(30, 9);
  shell.lineTo(26, 23);
  shell.lineTo(6, 23);
  shell.closeSubpath();
  canvas.setPen(QPen(QColor(64, 64, 64), 1.5));
  canvas.setBrush(QColor(192, 192, 192));
  canvas.drawPath(shell);
  canvas.setPen(Qt::NoPen);
  canvas.setBrush(QColor(0, 0, 128));
  for (int pin = 0; pin < 5; ++pin) canvas.drawEllipse(QPointF(7.5 + pin * 4.25, 13.5), 1.4, 1.4);
  for (int pin = 0; pin < 4; ++pin) canvas.drawEllipse(QPointF(9.6 + pin * 4.25, 18.5), 1.4, 1.4);
  return picture;
}

QLabel* TextLabel(QWidget* parent, const QString& text, const QFont& font) {
  auto* label = new QLabel(text, parent);
  label->setFont(font);
  label->adjustSize();
  return label;
}

QLabel* LinkLabel(QWidget* parent, const QString& text, const char* hint, const QColor& colour) {
  QFont font = WindowFont();
  font.setUnderline(true);
  QLabel* label = TextLabel(parent, text, font);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, colour);
  label->setPalette(palette);
  label->setCursor(Qt::PointingHandCursor);
  label->setToolTip(hint);
  return label;
}

void CentreAt(QWidget* widget, int panelWidth, int top) {
  widget->move((panelWidth - widget->width()) / 2, top);
}

}  // namespace

QIcon TapwiseIcon() {
  RegisterAboutResources();
  return QIcon(QStringLiteral(":/tapwise/tapwise-48.png"));
}

AboutDetails BuildAboutDetails() {
  AboutDetails details{QString::fromUtf8(TAPWISE_ABOUT_MAKER), QString::fromUtf8(TAPWISE_ABOUT_RIGHTS),
                       QString::fromUtf8(TAPWISE_ABOUT_WEB), QString::fromUtf8(TAPWISE_ABOUT_MAIL),
                       QString::fromUtf8(TAPWISE_ABOUT_DONATE)};
  if (details.DonationPage.isEmpty()) details.DonationPage = details.WebAddress + "?donate";
  return details;
}

TAboutForm::TAboutForm(QWidget* parent, AboutDetails details)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      m_details(std::move(details)) {
  setObjectName("AboutForm");
  setWindowTitle("About");
  setFont(WindowFont());
  // On the button face; the text roles stay the window's, so that the
  // labels given the highlight colour show it.
  QPalette face = palette();
  face.setColor(QPalette::Window, face.color(QPalette::Button));
  setPalette(face);
  const QColor highlight = palette().color(QPalette::Highlight);

  m_upperPanel = new TPanelTransparent(this);
  m_upperPanel->SetLowered(true);
  QWidget* panel = m_upperPanel;

  auto* iconFrame = new TPanelTransparent(panel);
  iconFrame->SetRaised(true);
  iconFrame->setGeometry(12, 12, 53, 53);
  AboutIcon = new QLabel(iconFrame);
  AboutIcon->setGeometry(2, 2, 49, 49);
  AboutIcon->setScaledContents(true);

  ProductName = TextLabel(panel, "Project Name", Styled("Arial", 24, true, false));
  ProductName->move(76, 8);
  const QFont revisionFont = Styled("Times New Roman", 13, false, true);
  TextLabel(panel, "Rev", revisionFont)->move(76, 36);
  Revision = TextLabel(panel, "Revision", revisionFont);
  Revision->move(100, 36);

  // The maker's lines and the links may be wider than the designed panel.
  const QFont makerFont = Styled("Arial", 11, true, false);
  QLabel* maker = TextLabel(panel, m_details.MakerLine, makerFont);
  QLabel* rights = TextLabel(panel, m_details.RightsLine, makerFont);
  Contact1 = LinkLabel(panel, m_details.WebAddress, "Visit our Web site", highlight);
  Contact2 = LinkLabel(panel, m_details.MailAddress, "email us", highlight);
  const int panelWidth =
      std::max({PanelWidth, maker->width() + 16, rights->width() + 16,
                std::max(Contact1->width(), Contact2->width()) + 2 * (PictureSize + 12)});

  auto etchedLine = [panel, panelWidth](int top) {
    auto* line = new TBox(panel);
    line->SetLineBottom(false);
    line->SetLineLeft(false);
    line->SetLineRight(false);
    line->setGeometry(8, top, panelWidth - 16, 2);
  };
  etchedLine(72);

  auto* donation = new QLabel(DonationText, panel);
  donation->setFont(Styled(font().family(), 11, true, false));
  donation->setWordWrap(true);
  donation->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  QPalette donationColours = donation->palette();
  donationColours.setColor(QPalette::WindowText, highlight);
  donation->setPalette(donationColours);
  const int donationWidth = panelWidth - 17;
  // Designed 45 high; a wider font needs more lines, and what follows moves down.
  const int donationHeight = std::max(45, donation->heightForWidth(donationWidth));
  donation->setGeometry(8, 80, donationWidth, donationHeight);
  const int secondLine = std::max(124, 80 + donationHeight + 2);
  etchedLine(secondLine);

  CentreAt(maker, panelWidth, secondLine + 8);
  CentreAt(rights, panelWidth, secondLine + 24);
  CentreAt(Contact1, panelWidth, secondLine + 40);
  CentreAt(Contact2, panelWidth, secondLine + 56);
  const int panelHeight = std::max(PanelHeight, Contact2->geometry().bottom() + 6);
  m_upperPanel->setGeometry(Border, Border, panelWidth, panelHeight);

  // One picture, given to both corners.
  auto* leftPicture = new QLabel(panel);
  leftPicture->setPixmap(PlugPicture());
  leftPicture->setGeometry(8, panelHeight - PictureSize - 8, PictureSize, PictureSize);
  auto* rightPicture = new QLabel(panel);
  rightPicture->setPixmap(leftPicture->pixmap());
  rightPicture->setGeometry(panelWidth - PictureSize - 8, panelHeight - PictureSize - 8, PictureSize, PictureSize);

  const int clientWidth = panelWidth + 2 * Border;
  m_stripTop = Border + panelHeight + Border;
  DonateButton = new TBtnTransparent(this);
  DonateButton->SetCaption("Donate");
  DonateButton->setGeometry(Border, m_stripTop + (StripHeight - ButtonHeight) / 2, ButtonWidth, ButtonHeight);
  OKButton = new TBtnTransparent(this);
  OKButton->SetCaption("OK");
  OKButton->setGeometry(clientWidth - Border - ButtonWidth, m_stripTop + (StripHeight - ButtonHeight) / 2,
                        ButtonWidth, ButtonHeight);
  setFixedSize(clientWidth, m_stripTop + StripHeight);

  connect(OKButton, &TBtnTransparent::clicked, this, &QDialog::reject);
  connect(DonateButton, &TBtnTransparent::clicked, this, &TAboutForm::DonateButtonClick);
  Contact1->installEventFilter(this);
  Contact2->installEventFilter(this);
  FormActivate();
}

void TAboutForm::ShowSplash() { exec(); }

void TAboutForm::FormActivate() {
  AboutIcon->setPixmap(ApplicationIcon().pixmap(48, 48));
  ProductName->setText(ProductTitle);
  ProductName->adjustSize();
  Revision->setText(QString::fromStdString(FileVersionString()));
  Revision->adjustSize();
}

void TAboutForm::showEvent(QShowEvent* event) {
  // Its corner at the pointer put the box half off the middle of the screen
  // wherever no window manager moved it (the pointer starts at the centre);
  // a splash and an About box belong in the middle.
  CentreOnScreen(*this);
  QDialog::showEvent(event);
}

void TAboutForm::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
  QDialog::changeEvent(event);
}

void TAboutForm::paintEvent(QPaintEvent*) {
  QPainter canvas(this);
  GradientFill(canvas, 0, m_stripTop, width(), height(), ButtonFaceColour(), ScrollBarColour());
}

void TAboutForm::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
      reject();
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

bool TAboutForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    if (watched == Contact1) Contact1Click();
    if (watched == Contact2) Contact2Click();
  }
  return QDialog::eventFilter(watched, event);
}

void TAboutForm::Contact1Click() { OpenDocument(this, QStringToAnsi(Contact1->text())); }

void TAboutForm::Contact2Click() { OpenDocument(this, QStringToAnsi("MailTo:" + Contact2->text())); }

void TAboutForm::DonateButtonClick() { OpenDocument(this, QStringToAnsi(m_details.DonationPage)); }

}  // namespace tapwise
