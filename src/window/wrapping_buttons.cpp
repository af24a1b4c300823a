#include "window/wrapping_buttons.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace kalibrix {

namespace {

// Draws `control` without its caption, then the caption word-wrapped into `contents`.
void paintWrapped(QAbstractButton* button, QStyleOptionButton& option,
                  QStyle::ControlElement control, QStyle::SubElement contents,
                  Qt::Alignment alignment, QPalette::ColorRole role)
{
    QStylePainter painter(button);
    const QString caption = option.text;
    option.text.clear();
    painter.drawControl(control, option);
    option.text = caption;
    const QRect box = button->style()->subElementRect(contents, &option, button);
    painter.drawItemText(box, int(alignment) | Qt::TextWordWrap, button->palette(),
                         button->isEnabled(), caption, role);
}

}  // namespace

void WrappingPushButton::paintEvent(QPaintEvent*)
{
    QStyleOptionButton option;
    initStyleOption(&option);
    paintWrapped(this, option, QStyle::CE_PushButton, QStyle::SE_PushButtonContents,
                 Qt::AlignCenter, QPalette::ButtonText);
}

void WrappingCheckBox::paintEvent(QPaintEvent*)
{
    QStyleOptionButton option;
    initStyleOption(&option);
    paintWrapped(this, option, QStyle::CE_CheckBox, QStyle::SE_CheckBoxContents,
                 Qt::AlignLeft | Qt::AlignVCenter, QPalette::WindowText);
}

}  // namespace kalibrix
