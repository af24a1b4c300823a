#include "regwin/qt/message_boxes.h"

#include <QMessageBox>

#include <utility>

namespace kalibrix {

namespace {

struct Recorder {
    bool on = false;
    std::vector<UserMessage> messages;
};

Recorder& recorder()
{
    static Recorder r;
    return r;
}

}  // namespace

void MessageBoxes::show(QWidget* parent, const UserMessage& message)
{
    if (recorder().on) {
        recorder().messages.push_back(message);
        return;
    }
    QMessageBox box(
        message.icon == MessageIcon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon,
        QString::fromStdString(message.title), QString::fromStdString(message.text),
        QMessageBox::Ok, parent);
    box.exec();
}

void MessageBoxes::startRecording() { recorder().on = true; }

std::vector<UserMessage> MessageBoxes::takeRecorded()
{
    return std::exchange(recorder().messages, {});
}

}  // namespace kalibrix
