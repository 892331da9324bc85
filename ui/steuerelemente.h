// The few controls the windows need beyond Qt's own: the picture-backed
// client area, the folder list and the clickable link labels.
#pragma once

#include <QtGui/QPixmap>
#include <QtWidgets/QLabel>
#include <QtWidgets/QTreeWidget>
#include <QtWidgets/QWidget>

namespace cartonym::ui {

// A client area that draws its picture from the top left corner, unscaled.
class Bildflaeche : public QWidget {
    Q_OBJECT
public:
    Bildflaeche(const QPixmap& image, QWidget* eltern = nullptr);

protected:
    void paintEvent(QPaintEvent* ereignis) override;

private:
    QPixmap bild_;
};

// A folder list: the chain of folders from the root down to the current one,
// opened, and below it the current folder's sub-folders. Activating an entry
// (double click or Enter) makes it the current folder.
class Ordnerliste : public QTreeWidget {
    Q_OBJECT
public:
    explicit Ordnerliste(QWidget* eltern = nullptr);

    QString path() const { return path_; }

    // Makes pfad the current folder. Throws Error when it cannot be opened;
    // the list then stays as it was.
    void setze_pfad(const QString& path);

signals:
    void pfad_geaendert();
    // A folder chosen in the list could not be opened.
    void oeffnen_fehlgeschlagen(int number, const QString& description);

private:
    void Gehe_zu(const QString& target);

    QString path_;
};

// A label that reports a click with the left mouse button.
class Verweislabel : public QLabel {
    Q_OBJECT
public:
    explicit Verweislabel(QWidget* eltern = nullptr);

signals:
    void geklickt();

protected:
    void mouseReleaseEvent(QMouseEvent* ereignis) override;
};

} // namespace cartonym::ui
