#include "window/message_boxes.h"

#include <QMessageBox>

#include <optional>
#include <utility>

namespace kalibrix {

namespace {

struct Recorder {
    bool on = false;
    std::vector<UserMessage> messages;
    std::optional<MessageBoxes::Answer> answer;
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

MessageBoxes::Answer MessageBoxes::askToSave(QWidget* parent, const UserMessage& message)
{
    if (recorder().on) {
        recorder().messages.push_back(message);
        return std::exchange(recorder().answer, std::nullopt).value_or(Answer::Cancel);
    }
    QMessageBox box(QMessageBox::Question, QString::fromStdString(message.title),
                    QString::fromStdString(message.text),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent);
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Save:
        return Answer::Save;
    case QMessageBox::Discard:
        return Answer::Discard;
    default:
        return Answer::Cancel;
    }
}

void MessageBoxes::setNextAnswer(Answer answer) { recorder().answer = answer; }

void MessageBoxes::startRecording() { recorder().on = true; }

std::vector<UserMessage> MessageBoxes::takeRecorded()
{
    return std::exchange(recorder().messages, {});
}

}  // namespace kalibrix
