// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/widgets.h"

#include "common/error.h"
#include "operations/folder_listing.h"
#include "ui/text_conversion.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QFileSystemWatcher>
#include <QtGui/QCursor>
#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QScrollBar>
#include <QtWidgets/QStyle>
#include <QtWidgets/QStyleOptionFrame>

#include <utility>

namespace cartonym::ui {

PictureArea::PictureArea(const QPixmap& image, QWidget* parent)
    : QWidget(parent)
    , image_(image)
{ }

void PictureArea::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    painter.drawPixmap(0, 0, image_);
}

namespace {

constexpr int path_role = Qt::UserRole;

// The folder's sub-folders as the core lists them; none when it cannot be read.
QStringList subfolder_names(const QString& path)
{
    QStringList names;
    try {
        for (const std::string& name : list_subfolders(to_file_system(path)))
            names << from_file_system(name);
    } catch (const Error&) {
        // An unreadable folder shows no sub-folders.
    }
    return names;
}

QString child_path(const QString& folder, const QString& name)
{
    return QDir::cleanPath(folder + QLatin1Char('/') + name);
}

} // namespace

FolderTree::FolderTree(QWidget* parent)
    : QTreeWidget(parent)
    , watcher_(new QFileSystemWatcher(this))
{
    setHeaderHidden(true);
    setColumnCount(1);
    setIndentation(12);
    setUniformRowHeights(true);
    // The column is as wide as its longest name; the list scrolls sideways.
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    // The focus shows as a frame in the highlight colour.
    setStyleSheet(QStringLiteral("QTreeView:focus { border: 2px solid palette(highlight); }"));

    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        if (!read_items_.contains(item->data(0, path_role).toString()))
            read_children(item);
    });
    change_timer_ = new QTimer(this);
    change_timer_->setSingleShot(true);
    change_timer_->setInterval(change_delay_ms);
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, [this](const QString& folder) {
        changed_.insert(QDir::cleanPath(folder));
        if (!change_timer_->isActive())
            change_timer_->start(); // not restarted: a folder that keeps changing is still read
    });
    connect(change_timer_, &QTimer::timeout, this, [this] {
        const QSet<QString> changed = std::exchange(changed_, {});
        keep_in_place(anchor_row(), [this, &changed] {
            for (const QString& folder : changed)
                if (QTreeWidgetItem* item = item_for(folder))
                    read_children(item);
        });
    });
    // Deferred: the list is rebuilt, and the chosen entry with it; the new
    // current entry takes the chosen one's place on the screen.
    const auto open = [this](QTreeWidgetItem* item) {
        const QString target = item ? item->data(0, path_role).toString() : QString();
        const int top = item ? visualItemRect(item).top() : -1;
        QMetaObject::invokeMethod(
            this, [this, target, top] { go_to(target, top); }, Qt::QueuedConnection);
    };
    connect(this, &QTreeWidget::itemActivated, this, open);
    connect(this, &QTreeWidget::itemClicked, this, open);
}

QTreeWidgetItem* FolderTree::item_for(const QString& path) const { return read_items_.value(path, nullptr); }

// The entry of path: a folder read, or one listed in a folder read.
QTreeWidgetItem* FolderTree::find_item(const QString& path) const
{
    if (QTreeWidgetItem* item = item_for(path))
        return item;
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    QTreeWidgetItem* parent = item_for(slash <= 0 ? QStringLiteral("/") : path.left(slash));
    for (int i = 0; parent && i < parent->childCount(); ++i) {
        if (parent->child(i)->data(0, path_role).toString() == path)
            return parent->child(i);
    }
    return nullptr;
}

QTreeWidgetItem* FolderTree::new_folder_item(const QString& path, const QString& name) const
{
    auto* item = new QTreeWidgetItem;
    item->setText(0, name);
    item->setIcon(0, style()->standardIcon(QStyle::SP_DirClosedIcon));
    item->setData(0, path_role, path);
    // An arrow until the folder is read; then only when it has sub-folders.
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    return item;
}

// Reads the sub-folders of item's folder into the tree: entries of folders
// that vanished go, new ones are put in their place by name, and the
// entries that stay keep what is open below them and the current entry.
void FolderTree::read_children(QTreeWidgetItem* item)
{
    const QString folder = item->data(0, path_role).toString();
    const QStringList names = subfolder_names(folder);
    const QSet<QString> wanted(names.begin(), names.end());
    for (int i = item->childCount() - 1; i >= 0; --i) {
        if (!wanted.contains(item->child(i)->text(0))) {
            forget(item->child(i));
            delete item->takeChild(i);
        }
    }
    int position = 0;
    for (const QString& name : names) {
        if (position >= item->childCount() || item->child(position)->text(0) != name)
            item->insertChild(position, new_folder_item(child_path(folder, name), name));
        ++position;
    }
    item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
    if (!read_items_.contains(folder)) {
        read_items_.insert(folder, item);
        if (watching_)
            watcher_->addPath(folder);
    }
}

// Drops a vanished folder and everything below it from the watch.
void FolderTree::forget(QTreeWidgetItem* item)
{
    const QString folder = item->data(0, path_role).toString();
    if (read_items_.remove(folder) > 0)
        watcher_->removePath(folder);
    for (int i = 0; i < item->childCount(); ++i)
        forget(item->child(i));
}

void FolderTree::set_path(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists() || !info.isDir())
        throw Error(ErrorNumber::path_not_found);
    if (!info.isReadable() || !info.isExecutable())
        throw Error(ErrorNumber::path_file_access_error);
    const QString target = QDir::cleanPath(info.absoluteFilePath());

    // The chain from the root down to the target.
    QStringList chain;
    for (QDir level(target);;) {
        chain.prepend(QDir::cleanPath(level.absolutePath()));
        if (level.isRoot() || !level.cdUp())
            break;
    }

    // Quiet while rebuilding: no expand or current-item signal of the old tree.
    blockSignals(true);
    if (!watcher_->directories().isEmpty())
        watcher_->removePaths(watcher_->directories());
    read_items_.clear();
    clear();
    path_ = target;

    QTreeWidgetItem* item = new_folder_item(chain.front(), chain.front());
    addTopLevelItem(item);
    for (qsizetype i = 0; i < chain.size(); ++i) {
        read_children(item);
        item->setExpanded(true);
        item->setIcon(0, style()->standardIcon(QStyle::SP_DirOpenIcon));
        if (i + 1 == chain.size())
            break;
        QTreeWidgetItem* next = nullptr;
        for (int c = 0; c < item->childCount() && !next; ++c) {
            if (item->child(c)->data(0, path_role).toString() == chain[i + 1])
                next = item->child(c);
        }
        // A hidden folder on the way is not listed among its siblings.
        if (!next) {
            next = new_folder_item(chain[i + 1], QFileInfo(chain[i + 1]).fileName());
            item->addChild(next);
        }
        item = next;
    }
    setCurrentItem(item);
    // In the middle of the list, the sideways position as it was unless the
    // entry needs another.
    const int sideways = horizontalScrollBar()->value();
    scrollToItem(item, QAbstractItemView::PositionAtCenter);
    horizontalScrollBar()->setValue(sideways);
    scrollToItem(item, QAbstractItemView::EnsureVisible);
    blockSignals(false);
    emit path_changed();
}

void FolderTree::refresh()
{
    keep_in_place(anchor_row(), [this] {
        const QStringList folders = read_items_.keys();
        for (const QString& folder : folders) {
            // Reading one folder may drop others that have vanished.
            if (QTreeWidgetItem* item = item_for(folder))
                read_children(item);
        }
    });
}

// The row the user looks at: the one under the pointer, else the current one.
QTreeWidgetItem* FolderTree::anchor_row() const
{
    if (underMouse()) {
        if (QTreeWidgetItem* hovered = itemAt(viewport()->mapFromGlobal(QCursor::pos())))
            return hovered;
    }
    return currentItem();
}

// Makes change, then scrolls so that anchor stays where it was on the screen
// (unless it went).
void FolderTree::keep_in_place(QTreeWidgetItem* anchor, const std::function<void()>& change)
{
    const QString path = anchor ? anchor->data(0, path_role).toString() : QString();
    const int before = anchor ? visualItemRect(anchor).top() : 0;
    change();
    QTreeWidgetItem* after = path.isEmpty() ? nullptr : find_item(path);
    if (after)
        verticalScrollBar()->setValue(verticalScrollBar()->value() + visualItemRect(after).top() - before);
}

void FolderTree::set_watching(bool on)
{
    watching_ = on;
    if (!watcher_->directories().isEmpty())
        watcher_->removePaths(watcher_->directories());
    if (on && !read_items_.isEmpty())
        watcher_->addPaths(read_items_.keys());
}

void FolderTree::go_to(const QString& target, int row_top)
{
    if (target.isEmpty() || target == path_)
        return;
    try {
        set_path(target);
    } catch (const Error& error) {
        emit open_failed(error.value(), QString::fromStdString(error.description()));
        return;
    }
    if (row_top >= 0 && currentItem())
        verticalScrollBar()->setValue(verticalScrollBar()->value() + visualItemRect(currentItem()).top() - row_top);
}

ElidedLabel::ElidedLabel(QWidget* parent, Qt::TextElideMode mode)
    : QLabel(parent)
    , mode_(mode)
{
    setTextFormat(Qt::PlainText);
}

void ElidedLabel::setText(const QString& text)
{
    QLabel::setText(text);
    setToolTip(shown_text() == text ? QString() : text);
}

QString ElidedLabel::shown_text() const { return fontMetrics().elidedText(text(), mode_, contentsRect().width()); }

void ElidedLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), static_cast<int>(alignment()), palette(), isEnabled(), shown_text(),
        foregroundRole());
}

LinkLabel::LinkLabel(QWidget* parent)
    : QLabel(parent)
{ }

void LinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}

ScrollArea::ScrollArea(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QRect ScrollArea::inner() const { return rect().adjusted(border_width, border_width, -border_width, -border_width); }

void ScrollArea::show_frame(const QPixmap& image)
{
    frame_ = image;
    repaint(inner());
}

void ScrollArea::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QStyleOptionFrame option;
    option.initFrom(this);
    option.frameShape = QFrame::Panel;
    option.state |= QStyle::State_Sunken;
    option.lineWidth = border_width;
    option.midLineWidth = 0;
    painter.fillRect(rect(), QColor(50, 49, 51));
    if (!frame_.isNull())
        painter.drawPixmap(inner().topLeft(), frame_);
    style()->drawPrimitive(QStyle::PE_Frame, &option, &painter, this);
}

void ScrollArea::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

} // namespace cartonym::ui
