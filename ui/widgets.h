// SPDX-License-Identifier: GPL-3.0-or-later
// The few controls the windows need beyond Qt's own: the picture-backed
// client area, the folder list, labels that elide or act as links, and the
// About window's scroll area.
#pragma once

#include <QtCore/QHash>
#include <QtCore/QSet>
#include <QtCore/QTimer>
#include <QtGui/QPixmap>
#include <QtWidgets/QLabel>
#include <QtWidgets/QTreeWidget>
#include <QtWidgets/QWidget>

#include <functional>

class QFileSystemWatcher;

namespace cartonym::ui {

// A client area that draws its picture from the top left corner, unscaled.
class PictureArea : public QWidget {
    Q_OBJECT
public:
    explicit PictureArea(const QPixmap& image, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap image_;
};

// A folder list: the whole tree from the root, opened down to the current
// folder, every level with all its folders (so the current folder's
// siblings show). Sub-folders are read when their folder is expanded, and
// every folder read is watched, so that folders created or removed
// meanwhile appear and vanish. Activating an entry (double click or Enter)
// makes it the current folder, and so does a single click. Rows never move
// under the pointer: when folders come or go, the row under the pointer (or
// else the current one) keeps its place on the screen. Long names scroll
// sideways instead of being cut.
class FolderTree : public QTreeWidget {
    Q_OBJECT
public:
    explicit FolderTree(QWidget* parent = nullptr);

    QString path() const { return path_; }

    // Makes path the current folder. Throws Error when it cannot be opened;
    // the list then stays as it was.
    void set_path(const QString& path);

    // Reads every folder shown again.
    void refresh();

    // Stops or starts watching the folders shown, for a run that changes a
    // folder many thousand times: it then refreshes once at its end.
    void set_watching(bool on);

    // The entry of a folder already read into the tree, or nullptr.
    QTreeWidgetItem* item_for(const QString& path) const;
    QTreeWidgetItem* find_item(const QString& path) const;

signals:
    void path_changed();
    // A folder chosen in the list could not be opened.
    void open_failed(int number, const QString& description);

private:
    QTreeWidgetItem* new_folder_item(const QString& path, const QString& name) const;
    void read_children(QTreeWidgetItem* item);
    void forget(QTreeWidgetItem* item);
    void go_to(const QString& target, int row_top);
    QTreeWidgetItem* anchor_row() const;
    void keep_in_place(QTreeWidgetItem* anchor, const std::function<void()>& change);

    QString path_;
    QFileSystemWatcher* watcher_ = nullptr;
    // Changed folders are read again together, at most every change_delay_ms:
    // a busy folder such as /tmp changes many times a second.
    static constexpr int change_delay_ms = 400;
    QTimer* change_timer_ = nullptr;
    QSet<QString> changed_;
    bool watching_ = true;
    QHash<QString, QTreeWidgetItem*> read_items_; // folders whose sub-folders are in the tree
};

// A one-line label that shows as much of its text as fits, with an
// ellipsis, and offers the whole text as its tooltip when it is cut.
class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget* parent = nullptr, Qt::TextElideMode mode = Qt::ElideRight);

    // Hides QLabel::setText so that the tooltip follows the text.
    void setText(const QString& text);
    // The text as painted.
    QString shown_text() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Qt::TextElideMode mode_;
};

// A label that reports a click with the left mouse button.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit LinkLabel(QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// The About window's scroll area: a sunken border around an inner area that
// shows the last finished frame. Frames are drawn whole into a buffer and
// then shown at once, so no half-drawn frame ever reaches the screen.
class ScrollArea : public QWidget {
    Q_OBJECT
public:
    static constexpr int border_width = 2;

    explicit ScrollArea(QWidget* parent = nullptr);

    // The inner area, inside the border.
    QRect inner() const;
    void show_frame(const QPixmap& image);
    const QPixmap& frame() const { return frame_; }

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPixmap frame_;
};

} // namespace cartonym::ui
