#include "ui/steuerelemente.h"

#include "common/error.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>
#include <QtWidgets/QApplication>
#include <QtWidgets/QStyle>

namespace cartonym::ui {

Bildflaeche::Bildflaeche(const QPixmap& image, QWidget* eltern)
    : QWidget(eltern)
    , bild_(image)
{
}

void Bildflaeche::paintEvent(QPaintEvent*)
{
    QPainter maler(this);
    maler.fillRect(rect(), palette().window());
    maler.drawPixmap(0, 0, bild_);
}

namespace {

constexpr int Pfadrolle = Qt::UserRole;

} // namespace

Ordnerliste::Ordnerliste(QWidget* eltern)
    : QTreeWidget(eltern)
{
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setIndentation(10);
    setUniformRowHeights(true);
    // Deferred: the list is rebuilt, and the activated entry with it.
    connect(this, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* entry) {
        const QString target = entry ? entry->data(0, Pfadrolle).toString() : QString();
        QMetaObject::invokeMethod(this, [this, target] { Gehe_zu(target); }, Qt::QueuedConnection);
    });
}

void Ordnerliste::setze_pfad(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists() || !info.isDir())
        throw Error(ErrorNumber::PathNotFound);
    QDir folder(info.absoluteFilePath());
    if (!info.isReadable() || !info.isExecutable())
        throw Error(ErrorNumber::PathFileAccessError);
    const QStringList unterordner = folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);

    path_ = QDir::cleanPath(folder.absolutePath());
    clear();

    const QIcon is_open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon zu = style()->standardIcon(QStyle::SP_DirClosedIcon);

    // The chain from the root down to the current folder.
    QStringList kette;
    for (QDir stufe(path_);; ) {
        kette.prepend(stufe.absolutePath());
        if (stufe.isRoot() || !stufe.cdUp())
            break;
    }
    QTreeWidgetItem* oben = nullptr;
    for (const QString& stufe : kette) {
        const QString name = QDir(stufe).isRoot() ? stufe : QFileInfo(stufe).fileName();
        auto* entry = oben ? new QTreeWidgetItem(oben) : new QTreeWidgetItem(this);
        entry->setText(0, name);
        entry->setIcon(0, is_open);
        entry->setData(0, Pfadrolle, stufe);
        oben = entry;
    }
    for (const QString& name : unterordner) {
        auto* entry = new QTreeWidgetItem(oben);
        entry->setText(0, name);
        entry->setIcon(0, zu);
        entry->setData(0, Pfadrolle, folder.absoluteFilePath(name));
    }
    expandAll();
    setCurrentItem(oben);
    emit pfad_geaendert();
}

void Ordnerliste::Gehe_zu(const QString& target)
{
    if (target.isEmpty() || target == path_)
        return;
    try {
        setze_pfad(target);
    } catch (const Error& error) {
        emit oeffnen_fehlgeschlagen(error.value(), QString::fromStdString(error.description()));
    }
}

Verweislabel::Verweislabel(QWidget* eltern)
    : QLabel(eltern)
{
}

void Verweislabel::mouseReleaseEvent(QMouseEvent* ereignis)
{
    if (ereignis->button() == Qt::LeftButton && rect().contains(ereignis->position().toPoint()))
        emit geklickt();
    QLabel::mouseReleaseEvent(ereignis);
}

} // namespace cartonym::ui
