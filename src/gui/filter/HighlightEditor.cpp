#include "gui/filter/HighlightEditor.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QToolButton>

#include "core/session/MonitorSession.h"
#include "gui/controls/AnsiText.h"
#include "gui/controls/WindowDialogs.h"

namespace tapwise {

namespace {

const QColor ErrorColour(192, 0, 0);
constexpr const char* PatternHint = "Hex bytes or quoted text, as in a user packet; a packet holding them is marked";

QIcon Swatch(uint32_t rgb) {
  QPixmap pixmap(16, 12);
  pixmap.fill(QColor::fromRgb(static_cast<QRgb>(rgb)));
  QPainter frame(&pixmap);
  frame.setPen(Qt::black);
  frame.drawRect(0, 0, 15, 11);
  return QIcon(pixmap);
}

}  // namespace

HighlightEditor::HighlightEditor(MonitorSession& session, WindowDialogs& dialogs, QWidget* parent)
    : QGroupBox("Highlight packets (saved in the project)", parent), m_session(session), m_dialogs(dialogs) {
  setObjectName("HighlightEditor");
  auto* grid = new QGridLayout(this);
  for (size_t i = 0; i < MaxHighlightRules; ++i) {
    const int row = static_cast<int>(i);
    grid->addWidget(new QLabel(QString::number(row + 1), this), row, 0);
    bColours[i] = new QToolButton(this);
    bColours[i]->setObjectName(QString("bColour%1").arg(row + 1));
    bColours[i]->setToolTip("The background of the packets this rule matches");
    bColours[i]->setIconSize(QSize(16, 12));
    grid->addWidget(bColours[i], row, 1);
    ePatterns[i] = new QLineEdit(this);
    ePatterns[i]->setObjectName(QString("ePattern%1").arg(row + 1));
    ePatterns[i]->setPlaceholderText(i == 0 ? "02 30 31  or  \"PING\"" : "");
    grid->addWidget(ePatterns[i], row, 2);
    connect(ePatterns[i], &QLineEdit::textEdited, this, &HighlightEditor::PatternEdited);
    connect(bColours[i], &QToolButton::clicked, this, [this, i] { ColourClick(i); });
  }
  lProblem = new QLabel(this);
  lProblem->setObjectName("lProblem");
  lProblem->setWordWrap(true);
  QPalette red = lProblem->palette();
  red.setColor(QPalette::WindowText, ErrorColour);
  lProblem->setPalette(red);
  grid->addWidget(lProblem, static_cast<int>(MaxHighlightRules), 0, 1, 3);
  grid->setColumnStretch(2, 1);
  m_session.AddListener(*this);
  Load();
}

HighlightEditor::~HighlightEditor() { m_session.RemoveListener(*this); }

void HighlightEditor::Load() {
  m_loading = true;
  const HighlightRuleSet& rules = m_session.Highlights().Rules();
  for (size_t i = 0; i < MaxHighlightRules; ++i) {
    m_colours[i] = rules[i].Colour;
    bColours[i]->setIcon(Swatch(rules[i].Colour));
    const QString text = AnsiToQString(rules[i].Pattern);
    if (ePatterns[i]->text() != text) ePatterns[i]->setText(text);
  }
  ShowProblems();
  m_loading = false;
}

void HighlightEditor::SessionChanged(SessionChange change) {
  // Also what this editor set itself: the rows show what the session holds.
  if (change == SessionChange::Highlights) Load();
}

HighlightRuleSet HighlightEditor::Shown() const {
  HighlightRuleSet rules;
  for (size_t i = 0; i < MaxHighlightRules; ++i) {
    rules[i].Pattern = QStringToAnsi(ePatterns[i]->text());
    rules[i].Colour = m_colours[i];
  }
  return rules;
}

void HighlightEditor::PatternEdited() {
  if (m_loading) return;
  m_session.SetHighlightRules(Shown());
  ShowProblems();
}

void HighlightEditor::ColourClick(size_t index) {
  const std::optional<QColor> chosen =
      m_dialogs.AskForColour(window(), QColor::fromRgb(static_cast<QRgb>(m_colours[index])));
  if (!chosen) return;
  m_colours[index] = chosen->rgb() & 0xFFFFFF;
  bColours[index]->setIcon(Swatch(m_colours[index]));
  m_session.SetHighlightRules(Shown());
}

void HighlightEditor::ShowProblems() {
  QString first;
  for (size_t i = 0; i < MaxHighlightRules; ++i) {
    const std::string& problem = m_session.Highlights().Problem(i);
    QPalette palette = ePatterns[i]->palette();
    palette.setColor(QPalette::Text, problem.empty() ? this->palette().color(QPalette::Text) : ErrorColour);
    ePatterns[i]->setPalette(palette);
    ePatterns[i]->setToolTip(problem.empty() ? QString(PatternHint) : AnsiToQString(problem));
    if (first.isEmpty() && !problem.empty()) first = QString("Rule %1: ").arg(i + 1) + AnsiToQString(problem);
  }
  lProblem->setText(first);
}

}  // namespace tapwise
