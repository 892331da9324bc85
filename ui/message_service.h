// SPDX-License-Identifier: GPL-3.0-or-later
// The seams between the windows and the desktop: every modal message box,
// every link the program opens and every file chooser goes through one of
// these, so that tests can answer them without anything appearing.
#pragma once

#include "common/message.h"

#include <QtCore/QString>
#include <QtCore/QUrl>

class QWidget;

namespace cartonym::ui {

enum class MessageButtons { Ok, RetryCancel, OkCancel };
enum class MessageAnswer { Ok, Retry, Cancel };

class MessageService {
public:
    virtual ~MessageService();

    // Shows the message modal to parent and returns the button chosen.
    virtual MessageAnswer show(QWidget* parent, const Message& message, MessageButtons buttons = MessageButtons::Ok);
};

class Shell {
public:
    virtual ~Shell();

    // Asks the desktop to open an address with its default action; false
    // when nothing could open it (no browser, say).
    virtual bool open(const QUrl& address);

    // The folder the choosers open at (the folder the window shows).
    void set_start_folder(const QString& folder) { start_folder_ = folder; }
    const QString& start_folder() const { return start_folder_; }

    // Lets the user choose an existing folder or file; "" when cancelled.
    virtual QString choose_folder(QWidget* parent, const QString& title);
    virtual QString choose_file(QWidget* parent, const QString& title, const QString& filter);
    // Lets the user name a file to write; "" when cancelled. The chooser
    // asks nothing about a file that exists (nothing is ever replaced);
    // chosen_filter, when given, receives the filter chosen.
    virtual QString choose_save_file(
        QWidget* parent, const QString& title, const QString& filter, QString* chosen_filter = nullptr);

private:
    QString start_folder_;
};

// The real ones, for the program itself.
MessageService& default_message_service();
Shell& default_shell();

} // namespace cartonym::ui
