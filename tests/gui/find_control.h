#pragma once

#include <QWidget>

// The window's control with the object name `name`; stops the test run when it is missing.
template <class T = QWidget>
T* findControl(const QWidget& window, const char* name)
{
    T* w = window.findChild<T*>(QString::fromUtf8(name));
    if (!w)
        qFatal("no control %s", name);
    return w;
}
