// SPDX-License-Identifier: GPL-3.0-or-later
// Form1's folder: the drive list, the path field, the folder list and the
// file list of the folder shown, kept in step with the disk.
#include "ui/main_window.h"

#include "operations/folder_listing.h"
#include "ui/message_service.h"
#include "ui/text_conversion.h"
#include "ui/widget_groups.h"
#include "ui/widgets.h"
#include "ui/window_settings.h"

#include <QtCore/QDir>
#include <QtCore/QFileSystemWatcher>
#include <QtCore/QMimeData>
#include <QtCore/QSignalBlocker>
#include <QtCore/QStorageInfo>
#include <QtCore/QStringListModel>
#include <QtGui/QDropEvent>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QListWidget>
#include <QtWidgets/QPushButton>

namespace cartonym::ui {
namespace {

// The settings key of the folder shown last, in
// $XDG_CONFIG_HOME/cartonym/cartonym.conf.
constexpr const char* folder_key = "folder";

QString remembered_folder() { return window_settings().value(QLatin1String(folder_key)).toString(); }

void remember_folder(const QString& folder) { window_settings().setValue(QLatin1String(folder_key), folder); }

// A drive as the list shows it: on Windows its letter ("C:"), elsewhere the
// folder the volume is mounted on.
QString drive_text(const QString& root)
{
#ifdef _WIN32
    if (root.size() == 3 && root.endsWith(QStringLiteral(":/")))
        return root.left(2).toUpper();
    return QDir::toNativeSeparators(root);
#else
    return root;
#endif
}

} // namespace

// The drives of this system: every mounted volume and the home folder. The
// folder list starts on the folder of the last start when it can still be
// opened, else on the current folder (or the home folder).
void Form1::fill_drives()
{
    {
        const QSignalBlocker quiet(Laufwerk);
        for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
            const QString root = volume.rootPath();
            QString text = drive_text(root);
            if (!volume.displayName().isEmpty() && volume.displayName() != root)
                text += QStringLiteral(" [%1]").arg(volume.displayName());
            Laufwerk->addItem(text, root);
            Laufwerk->setItemData(Laufwerk->count() - 1, text, Qt::ToolTipRole);
        }
        const QString home = QDir::homePath();
        Laufwerk->addItem(QStringLiteral("%1 [home]").arg(QDir::toNativeSeparators(home)), home);
    }
    for (const QString& folder : {remembered_folder(), QDir::currentPath(), QDir::homePath()}) {
        try {
            if (!folder.isEmpty()) {
                Ordner->set_path(folder);
                return;
            }
        } catch (const Error&) {
            // The next place, then.
        }
    }
    show_error(Error(ErrorNumber::path_not_found));
}

// The drive list shows the drive (the deepest of its entries) that holds the
// folder list's current folder.
void Form1::follow_folder_with_drive()
{
    const QString folder = Ordner->path();
    int best = -1;
    qsizetype best_length = -1;
    for (int i = 0; i < Laufwerk->count(); ++i) {
        const QString root = QDir::cleanPath(Laufwerk->itemData(i).toString());
        const bool holds =
            folder == root || folder.startsWith(root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/'));
        if (holds && root.size() > best_length) {
            best = i;
            best_length = root.size();
        }
    }
    if (best >= 0 && best != Laufwerk->currentIndex()) {
        const QSignalBlocker quiet(Laufwerk);
        Laufwerk->setCurrentIndex(best);
    }
}

std::string Form1::folder_path() const { return to_file_system(Ordner->path()); }

// Reads the folder's files into Dateien, sorted by name. Selecting nothing,
// so that no file is analysed until the user picks one; a list read again
// for a change on disk keeps the selected file selected while it is there.
void Form1::read_files(bool keep_selection)
{
    const QSignalBlocker quiet(Dateien);
    const QListWidgetItem* selected = Dateien->currentItem();
    const QByteArray kept = keep_selection && selected ? selected->data(file_name_role).toByteArray() : QByteArray();
    Dateien->clear();
    const std::vector<std::string> names = list_files(folder_path());
    for (const std::string& name : names) {
        auto* item = new QListWidgetItem(from_file_system(name), Dateien);
        const QByteArray bytes(name.data(), static_cast<qsizetype>(name.size()));
        item->setData(file_name_role, bytes);
        if (!kept.isEmpty() && bytes == kept)
            Dateien->setCurrentItem(item);
    }
}

// The shown folder is watched for files that come and go; a change is read
// after a short pause, so that a copy of many files reads the list once.
void Form1::watch_files(bool on)
{
    if (!file_watch_->directories().isEmpty())
        file_watch_->removePaths(file_watch_->directories());
    if (on)
        file_watch_->addPath(Ordner->path());
}

void Form1::file_watch_Change()
{
    try {
        read_files(true);
    } catch (const Error&) {
        Dateien->clear(); // the folder went; the folder list says so
    }
}

// Enter in the path field opens the folder typed or pasted there.
void Form1::folder_path_Enter()
{
    try {
        Ordner->set_path(QDir::cleanPath(folder_path_field->text().trimmed()));
    } catch (const Error& error) {
        messages_.show(this,
            {"Error !", error.description() + "\n\n" + to_file_system(folder_path_field->text()),
                MessageIcon::exclamation});
        folder_path_field->setText(QDir::toNativeSeparators(Ordner->path()));
    }
}

// The one local folder a drag carries, or "" (files, several addresses, a
// run in progress: the window takes none of them).
QString Form1::dropped_folder(const QMimeData* mime) const
{
    if (!mime->hasUrls() || mime->urls().size() != 1 || !Ordner->isEnabled())
        return {};
    const QUrl& address = mime->urls().front();
    if (!address.isLocalFile())
        return {};
    const QString folder = QDir::cleanPath(address.toLocalFile());
    try {
        return is_folder(to_file_system(folder)) ? folder : QString();
    } catch (const Error&) {
        return {};
    }
}

void Form1::dragEnterEvent(QDragEnterEvent* event)
{
    if (!dropped_folder(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent* event)
{
    const QString folder = dropped_folder(event->mimeData());
    if (folder.isEmpty())
        return;
    event->acceptProposedAction();
    folder_path_field->setText(QDir::toNativeSeparators(folder));
    folder_path_Enter();
}

// Completion for the path field: the sub-folders of the folder typed so far,
// written as the field shows paths (with "\" between names on Windows).
void Form1::folder_path_Edit(const QString& typed)
{
    const QString text = QDir::fromNativeSeparators(typed);
    const qsizetype slash = text.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return;
    const QString parent = slash == 0 ? QStringLiteral("/") : text.left(slash);
    QStringList candidates;
    try {
        for (const std::string& name : list_subfolders(to_file_system(parent)))
            candidates << QDir::toNativeSeparators(QDir::cleanPath(parent + QLatin1Char('/') + from_file_system(name)));
    } catch (const Error&) {
        // Nothing to offer below a folder that cannot be read.
    }
    folder_names_->setStringList(candidates);
}

// A new drive: the folder list moves to its root. A drive that cannot be
// opened asks Retry or Cancel; Cancel leaves the folder list where it was.
void Form1::Laufwerk_Change()
{
    const QString root = Laufwerk->currentData().toString();
    for (;;) {
        try {
            Ordner->set_path(root);
            return;
        } catch (const Error& error) {
            const MessageAnswer answer =
                messages_.show(this, {"Error !", error.description(), MessageIcon::none}, MessageButtons::RetryCancel);
            if (answer != MessageAnswer::Retry) {
                follow_folder_with_drive();
                return;
            }
        } catch (const std::exception& error) {
            show_unexpected(error);
            return;
        }
    }
}

// The folder list shows a new folder: the path field, the file list and its
// watch follow, and the folder is remembered for the next start.
void Form1::Ordner_Change()
{
    follow_folder_with_drive();
    // Shown as the system writes paths: "\" between names on Windows.
    folder_path_field->setText(QDir::toNativeSeparators(Ordner->path()));
    folder_path_field->setToolTip(QDir::toNativeSeparators(Ordner->path()));
    folder_path_field->setCursorPosition(0);
    remember_folder(Ordner->path());
    shell_.set_start_folder(Ordner->path());
    // Another folder: nothing of the last one stays in the form or the panel.
    if (Ordner->path() != shown_folder_ && !running_) {
        clear_labels({Dateiname, Dateityp, Romname, Hersteller, Cardid, Land, Namevoll, Nameneu, CRC1label, sizelabel});
        Neuer_name.clear(), verified_name_.clear();
        rename_ready_ = false;
        Command2->setVisible(false);
        reset_batch_panel();
    }
    shown_folder_ = Ordner->path();
    watch_files(!running_);
    try {
        read_files();
    } catch (const Error& error) {
        Dateien->clear();
        show_error(error);
    } catch (const std::exception& error) {
        show_unexpected(error);
    }
}

} // namespace cartonym::ui
