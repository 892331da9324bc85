// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/message_service.h"

#include "ui/text_conversion.h"

#include <QtGui/QDesktopServices>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QMessageBox>

namespace cartonym::ui {
namespace {

// Beside a title, a title bar holds an icon and up to three buttons.
constexpr int title_bar_room = 160;

} // namespace

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
    box.setObjectName(QStringLiteral("message_box"));
    box.setTextFormat(Qt::PlainText);
    // Wide enough for its whole title beside the title bar's buttons, which
    // window managers elide in a narrow box.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        QFont bold = box.font();
        bold.setBold(true);
        const int title = QFontMetrics(bold).horizontalAdvance(box.windowTitle());
        grid->addItem(new QSpacerItem(title + title_bar_room, 0, QSizePolicy::Minimum, QSizePolicy::Expanding),
            grid->rowCount(), 0, 1, grid->columnCount());
    }
    const int answer = box.exec();
    if (answer == QMessageBox::Retry)
        return MessageAnswer::Retry;
    if (answer == QMessageBox::Cancel)
        return MessageAnswer::Cancel;
    return MessageAnswer::Ok;
}

Shell::~Shell() = default;

bool Shell::open(const QUrl& address) { return QDesktopServices::openUrl(address); }

QString Shell::choose_folder(QWidget* parent, const QString& title)
{
    return QFileDialog::getExistingDirectory(parent, title, start_folder_);
}

QString Shell::choose_file(QWidget* parent, const QString& title, const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, title, start_folder_, filter);
}

QString Shell::choose_save_file(QWidget* parent, const QString& title, const QString& filter, QString* chosen_filter)
{
    return QFileDialog::getSaveFileName(
        parent, title, start_folder_, filter, chosen_filter, QFileDialog::DontConfirmOverwrite);
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
