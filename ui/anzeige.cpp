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
    const std::string utf8 = Utf8_aus_cp1252(cp1252);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QString Qpfad(const std::string& pfad)
{
    return QFile::decodeName(QByteArray(pfad.data(), static_cast<qsizetype>(pfad.size())));
}

std::string Systempfad(const QString& pfad)
{
    return QFile::encodeName(pfad).toStdString();
}

std::string Cp1252_pfad(const std::string& pfad)
{
    if (auto text = Cp1252_aus_utf8(pfad))
        return *text;
    return pfad;
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
