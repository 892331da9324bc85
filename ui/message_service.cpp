#include "ui/message_service.h"

#include "ui/text_conversion.h"

#include <QtGui/QDesktopServices>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QMessageBox>

namespace cartonym::ui {

MessageService::~MessageService() = default;

MessageAnswer MessageService::show(QWidget* parent, const Message& message, MessageButtons buttons)
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (message.symbol) {
    case MessageIcon::none: icon = QMessageBox::NoIcon; break;
    case MessageIcon::information: icon = QMessageBox::Information; break;
    case MessageIcon::exclamation: icon = QMessageBox::Warning; break;
    }
    const QMessageBox::StandardButtons standard_buttons = buttons == MessageButtons::Ok
        ? QMessageBox::StandardButtons(QMessageBox::Ok)
        : buttons == MessageButtons::RetryCancel ? QMessageBox::Retry | QMessageBox::Cancel
                                                 : QMessageBox::Ok | QMessageBox::Cancel;
    QMessageBox box(icon, from_cp1252(message.title), message_text(message.text), standard_buttons, parent);
    box.setTextFormat(Qt::PlainText);
    const int answer = box.exec();
    if (answer == QMessageBox::Retry)
        return MessageAnswer::Retry;
    if (answer == QMessageBox::Cancel)
        return MessageAnswer::Cancel;
    return MessageAnswer::Ok;
}

Shell::~Shell() = default;

void Shell::open(const QUrl& address) { QDesktopServices::openUrl(address); }

QString Shell::choose_folder(QWidget* parent, const QString& title)
{
    return QFileDialog::getExistingDirectory(parent, title);
}

QString Shell::choose_file(QWidget* parent, const QString& title, const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, title, QString(), filter);
}

QString Shell::choose_save_file(QWidget* parent, const QString& title, const QString& filter, QString* chosen_filter)
{
    return QFileDialog::getSaveFileName(
        parent, title, QString(), filter, chosen_filter, QFileDialog::DontConfirmOverwrite);
}

MessageService& default_message_service()
{
    static MessageService service;
    return service;
}

Shell& default_shell()
{
    static Shell shell;
    return shell;
}

} // namespace cartonym::ui
