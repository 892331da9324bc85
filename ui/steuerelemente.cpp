#include "ui/steuerelemente.h"

#include "common/error.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>
#include <QtWidgets/QApplication>
#include <QtWidgets/QStyle>

namespace cartonym::ui {

Bildflaeche::Bildflaeche(const QPixmap& bild, QWidget* eltern)
    : QWidget(eltern)
    , bild_(bild)
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
    connect(this, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* eintrag) {
        const QString ziel = eintrag ? eintrag->data(0, Pfadrolle).toString() : QString();
        QMetaObject::invokeMethod(this, [this, ziel] { Gehe_zu(ziel); }, Qt::QueuedConnection);
    });
}

void Ordnerliste::setze_pfad(const QString& pfad)
{
    const QFileInfo info(pfad);
    if (!info.exists() || !info.isDir())
        throw Fehler(Fehlernummer::Pfad_fehlt);
    QDir ordner(info.absoluteFilePath());
    if (!info.isReadable() || !info.isExecutable())
        throw Fehler(Fehlernummer::Zugriffsfehler);
    const QStringList unterordner = ordner.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);

    pfad_ = QDir::cleanPath(ordner.absolutePath());
    clear();

    const QIcon offen = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon zu = style()->standardIcon(QStyle::SP_DirClosedIcon);

    // The chain from the root down to the current folder.
    QStringList kette;
    for (QDir stufe(pfad_);; ) {
        kette.prepend(stufe.absolutePath());
        if (stufe.isRoot() || !stufe.cdUp())
            break;
    }
    QTreeWidgetItem* oben = nullptr;
    for (const QString& stufe : kette) {
        const QString name = QDir(stufe).isRoot() ? stufe : QFileInfo(stufe).fileName();
        auto* eintrag = oben ? new QTreeWidgetItem(oben) : new QTreeWidgetItem(this);
        eintrag->setText(0, name);
        eintrag->setIcon(0, offen);
        eintrag->setData(0, Pfadrolle, stufe);
        oben = eintrag;
    }
    for (const QString& name : unterordner) {
        auto* eintrag = new QTreeWidgetItem(oben);
        eintrag->setText(0, name);
        eintrag->setIcon(0, zu);
        eintrag->setData(0, Pfadrolle, ordner.absoluteFilePath(name));
    }
    expandAll();
    setCurrentItem(oben);
    emit pfad_geaendert();
}

void Ordnerliste::Gehe_zu(const QString& ziel)
{
    if (ziel.isEmpty() || ziel == pfad_)
        return;
    try {
        setze_pfad(ziel);
    } catch (const Fehler& fehler) {
        emit oeffnen_fehlgeschlagen(fehler.zahl(), QString::fromStdString(fehler.beschreibung()));
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
