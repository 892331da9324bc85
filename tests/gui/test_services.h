// Stand-ins for the desktop in the GUI tests: message boxes that answer from
// a queue and record what they were asked to show, a shell that records the
// addresses it was asked to open and answers the file choosers, a clock the
// test sets by hand, and the lookup of a window's controls by object name.
#pragma once

#include <QtCore/QTimer>
#include <QtWidgets/QApplication>
#include <QtWidgets/QDialog>

#include <functional>

#include "common/message.h"
#include "ui/clock.h"
#include "ui/message_service.h"

#include <QtCore/QList>
#include <QtCore/QUrl>
#include <QtWidgets/QWidget>

#include <deque>
#include <functional>

namespace cartonym::test {

struct ShownMessage {
    Message message;
    ui::MessageButtons buttons;
};

class TestMessages : public ui::MessageService {
public:
    ui::MessageAnswer show(QWidget*, const Message& message, ui::MessageButtons buttons) override
    {
        shown.push_back({message, buttons});
        if (on_show)
            on_show(message);
        if (answers.empty())
            return buttons == ui::MessageButtons::Ok ? ui::MessageAnswer::Ok : ui::MessageAnswer::Cancel;
        const ui::MessageAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::deque<ui::MessageAnswer> answers;
    QList<ShownMessage> shown;
    std::function<void(const Message&)> on_show; // runs while the box would be open
};

class TestShell : public ui::Shell {
public:
    void open(const QUrl& address) override { opened.push_back(address); }
    QString choose_folder(QWidget*, const QString&) override { return folder; }
    QString choose_file(QWidget*, const QString&, const QString&) override { return file; }

    QList<QUrl> opened;
    QString folder, file; // the choosers' answers; "" is Cancel
};

class TestClock : public ui::Clock {
public:
    std::int64_t milliseconds() const override { return now; }
    std::int64_t now = 100000;
};

// The three stand-ins a window is made with.
struct Services {
    TestMessages messages;
    TestShell shell;
    TestClock clock;
};

// The control of that object name; ends the test program when there is none,
// so that a renamed control cannot pass unnoticed.
template <typename Control> Control* find(const QObject* window, const char* name)
{
    auto* found = window->findChild<Control*>(QLatin1String(name));
    if (!found)
        qFatal("no control %s of the asked kind", name);
    return found;
}

// Runs act on the modal dialog of that name as soon as it is open.
inline void when_open(const char* name, std::function<void(QDialog*)> act)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, name, act = std::move(act)] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || dialog->objectName() != QLatin1String(name))
            return;
        poll->deleteLater();
        poll->stop();
        act(dialog);
    });
    poll->start(5);
}

} // namespace cartonym::test
