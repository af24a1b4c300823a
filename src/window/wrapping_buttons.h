#pragma once

#include <QCheckBox>
#include <QPushButton>

namespace kalibrix {

// A push button whose caption wraps onto as many centred lines as its width needs.
class WrappingPushButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A check box whose caption wraps beside the box.
class WrappingCheckBox : public QCheckBox {
    Q_OBJECT
public:
    using QCheckBox::QCheckBox;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace kalibrix
