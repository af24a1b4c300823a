// The status line below the controls and the window's title.
#include "window/reg_window.h"

#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>

#include <algorithm>
#include <utility>

namespace kalibrix {

namespace {

constexpr const char* kWindowTitle =
    "KALIBRIX - calculates interpolated values for samples between standard measurements";

}  // namespace

// What an action did; it replaces what was under the mouse until the mouse moves on.
void RegWindow::showStatus(std::string message)
{
    m_statusMessage = std::move(message);
    m_statusAwaitsRun = false;
    m_hoverText.reset();
    refreshStatus();
    refreshTitle();
}

// The status line: what is under the mouse, else the last action's message; then the
// warnings of the last run, highlighted. What does not fit is cut short with an ellipsis;
// the whole text is then in the line's tooltip.
void RegWindow::refreshStatus()
{
    const QString message = QString::fromStdString(m_hoverText ? *m_hoverText : m_statusMessage);
    const QFontMetrics metrics(m_status->font());
    const int gap = metrics.horizontalAdvance(QStringLiteral("  "));
    const int pad = 2 * metrics.horizontalAdvance(QChar(0xa0));
    int room = m_status->contentsRect().width() - metrics.averageCharWidth();
    QStringList warnings;
    for (const std::string& warning : m_statusWarnings)
        warnings << QString::fromStdString(warning);
    int warningsWidth = 0;
    for (const QString& warning : warnings)
        warningsWidth += gap + pad + metrics.horizontalAdvance(warning);

    bool cut = false;
    auto elide = [&](const QString& text, int width) {
        const QString shown = metrics.elidedText(text, Qt::ElideRight, std::max(0, width));
        cut = cut || shown != text;
        return shown;
    };
    // The run's warnings come first; the message takes the room they leave.
    const QString shownMessage = elide(message, room - warningsWidth);
    room -= metrics.horizontalAdvance(shownMessage);
    QString html = shownMessage.toHtmlEscaped();
    for (const QString& warning : warnings) {
        if (room <= gap + pad) {
            cut = true;
            break;
        }
        const QString shown = elide(warning, room - gap - pad);
        room -= gap + pad + metrics.horizontalAdvance(shown);
        html += QStringLiteral(
                    "  <span style=\"background-color:#ffe27a; color:#000000\">"
                    "&nbsp;%1&nbsp;</span>")
                    .arg(shown.toHtmlEscaped());
    }
    m_status->setText(html);
    m_status->setToolTip(cut ? (QStringList{message} + warnings).join(u'\n') : QString());
}

// The title names the session open, with an asterisk while there is unsaved work.
void RegWindow::refreshTitle()
{
    const QString title = QString::fromUtf8(kWindowTitle);
    setWindowTitle(
        m_sessionFile.isEmpty()
            ? title + QStringLiteral("[*]")
            : QStringLiteral("%1[*] - %2").arg(QFileInfo(m_sessionFile).fileName(), title));
    setWindowModified(unsavedWork());
}

}  // namespace kalibrix
