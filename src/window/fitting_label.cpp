#include "window/fitting_label.h"

#include <QEvent>
#include <QFontInfo>
#include <QFontMetricsF>

#include <algorithm>

namespace kalibrix {

void FittingLabel::setFigure(const QString& shown, const QString& full, bool bold)
{
    m_bold = bold;
    m_full = full;
    setText(shown);
    fit();
    composeToolTip();
}

bool FittingLabel::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTipChange && !m_composing) {
        m_about = toolTip();
        composeToolTip();
    }
    return QLabel::event(event);
}

void FittingLabel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    fit();
}

// The parent's font (the window's), bold as asked, a pixel smaller at a time until the text
// fits the room inside the cell's margins.
void FittingLabel::fit()
{
    QFont font = parentWidget() ? parentWidget()->font() : QLabel::font();
    font.setBold(m_bold);
    const double room = contentsRect().width() - 2 * margin() - std::max(0, indent());
    for (int pixels = QFontInfo(font).pixelSize();
         room > 0 && pixels > 1 && QFontMetricsF(font).horizontalAdvance(text()) > room; --pixels)
        font.setPixelSize(pixels - 1);
    setFont(font);
}

void FittingLabel::composeToolTip()
{
    m_composing = true;
    setToolTip(m_full.isEmpty()    ? m_about
               : m_about.isEmpty() ? m_full
                                   : m_about + QStringLiteral(": ") + m_full);
    m_composing = false;
}

}  // namespace kalibrix
