// SPDX-License-Identifier: GPL-3.0-or-later
// Stand-ins for the desktop in the GUI tests (message boxes answering from a queue, a shell, a clock) and helpers.
#pragma once

#include "common/message.h"
#include "ui/clock.h"
#include "ui/message_service.h"

#include <QtTest/QtTest>
#include <QtWidgets/QtWidgets>

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <tuple>

namespace cartonym::test {

struct ShownMessage {
    Message message;
    ui::MessageButtons buttons;
};

struct TestMessages : ui::MessageService {
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

struct TestShell : ui::Shell {
    bool open(const QUrl& address) override { return opened.push_back(address), opens; }
    QString choose_folder(QWidget*, const QString&) override { return chose(QStringLiteral("*")), folder; }
    QString choose_file(QWidget*, const QString&, const QString& f) override { return chose(f), file; }
    QString choose_save_file(QWidget*, const QString&, const QString& f, QString* chosen_filter) override
    {
        if (chosen_filter)
            *chosen_filter = filter;
        return chose(f), file;
    }
    void chose(const QString& offered) { asked << start_folder() + u'|' + offered; }

    QList<QUrl> opened;
    QString folder, file; // the choosers' answers; "" is Cancel
    QString filter;       // the filter the save chooser answers with
    bool opens = true;    // false: no browser
    QStringList asked;    // each chooser's start folder and filter, "|" between
};

struct TestClock : ui::Clock {
    std::int64_t milliseconds() const override { return now; }
    std::int64_t now = 100000;
};

// The three stand-ins a window is made with.
struct Services {
    TestMessages messages;
    TestShell shell;
    TestClock clock;
};

// The control of that object name; ends the test program when there is none (a renamed control cannot pass).
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

// The cells of a table, row by row.
inline QList<QStringList> rows(const QTableWidget* table)
{
    QList<QStringList> all;
    for (int row = 0; row < table->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < table->columnCount(); ++column)
            cells << table->item(row, column)->text();
        all << cells;
    }
    return all;
}

// The rows of the table of the dialog that open opens under that name; the dialog is then closed.
inline QList<QStringList> table_rows(const char* name, const std::function<void()>& open)
{
    QList<QStringList> shown;
    when_open(name, [&](QDialog* dialog) {
        shown = rows(find<QTableWidget>(dialog, "table"));
        dialog->reject();
    });
    open();
    return shown;
}

} // namespace cartonym::test
