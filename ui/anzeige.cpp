#include "ui/anzeige.h"

#include "common/windows1252.h"

#include <QtCore/QFile>
#include <QtCore/QStringList>

// The images live in this library's resources, which a static library has
// to register itself.
static void Registriere_bilder()
{
    Q_INIT_RESOURCE(cartonym);
}

namespace cartonym::ui {

void Lade_bilder()
{
    static const bool geladen = [] {
        Registriere_bilder();
        return true;
    }();
    (void)geladen;
}

QString Qtext(const std::string& cp1252)
{
    const std::string utf8 = utf8_from_cp1252(cp1252);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QString Qpfad(const std::string& path)
{
    return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

std::string Systempfad(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

std::string Cp1252_pfad(const std::string& path)
{
    if (auto text = cp1252_from_utf8(path))
        return *text;
    return path;
}

QFont Fette_schrift()
{
    QFont schrift;
    // Verdana where installed; DejaVu Sans shares its wide, open shapes.
    schrift.setFamilies({QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
    schrift.setPointSizeF(8.25);
    schrift.setBold(true);
    return schrift;
}

QFont Dialogschrift()
{
    QFont schrift;
    schrift.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                         QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                         QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans"),
                         QStringLiteral("Sans Serif")});
    schrift.setPointSizeF(8.25);
    // Set explicitly, so that a control inside a bold frame does not inherit it.
    schrift.setBold(false);
    schrift.setUnderline(false);
    return schrift;
}

} // namespace cartonym::ui
