#include "window/choice_box.h"

#include <QKeyEvent>
#include <QScopedValueRollback>
#include <QTimer>

#include <memory>
#include <utility>

namespace kalibrix {

void ChoiceBox::onItemChosen(std::function<void()> handler)
{
    auto changedNow = std::make_shared<bool>(false);
    connect(this, &QComboBox::currentIndexChanged, this, [=, this](int index) {
        if (index < 0 || m_finishingTypedText)
            return;
        // A user's choice of another item also emits activated right after this.
        *changedNow = true;
        QTimer::singleShot(0, this, [changedNow] { *changedNow = false; });
        handler();
    });
    connect(this, &QComboBox::activated, this, [=, this](int) {
        if (!m_finishingTypedText && !std::exchange(*changedNow, false))
            handler();
    });
}

void ChoiceBox::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const QScopedValueRollback quiet(m_finishingTypedText, enter);
    QComboBox::keyPressEvent(event);
}

void ChoiceBox::focusOutEvent(QFocusEvent* event)
{
    const QScopedValueRollback quiet(m_finishingTypedText, true);
    QComboBox::focusOutEvent(event);
}

}  // namespace kalibrix
