// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/text_conversion.h"

#include "common/windows1252.h"

#include <QtCore/QFile>
#include <QtCore/QRegularExpression>
#include <QtCore/QStringList>

#include <array>

// The images live in this library's resources, which a static library has
// to register itself.
static void register_images() { Q_INIT_RESOURCE(cartonym); }

namespace cartonym::ui {

void load_images()
{
    static const bool loaded = [] {
        register_images();
        return true;
    }();
    (void)loaded;
}

QString from_cp1252(const std::string& cp1252)
{
    const std::string utf8 = utf8_from_cp1252(cp1252);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QString message_text(const std::string& cp1252)
{
    const QString text = from_cp1252(cp1252);
    static const QRegularExpression escape(QStringLiteral(R"(\\\\|\\u\{([0-9A-F]{1,6})\})"));
    QString shown;
    qsizetype done = 0;
    for (const QRegularExpressionMatch& match : escape.globalMatch(text)) {
        shown += QStringView(text).mid(done, match.capturedStart() - done);
        if (match.captured(1).isEmpty())
            shown += QLatin1Char('\\');
        else
            shown +=
                QString::fromUcs4(std::array{static_cast<char32_t>(match.captured(1).toUInt(nullptr, 16))}.data(), 1);
        done = match.capturedEnd();
    }
    return shown + text.mid(done);
}

QString from_file_system(const std::string& path)
{
    return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

std::string to_file_system(const QString& path) { return QFile::encodeName(path).toStdString(); }

QFont bold_font()
{
    QFont font;
    // Verdana where installed; DejaVu Sans shares its wide, open shapes.
    font.setFamilies({QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
    font.setPointSizeF(8.25);
    font.setBold(true);
    return font;
}

QFont dialog_font()
{
    // The Windows faces where installed, else DejaVu Sans (fonts-dejavu-core).
    // 7.5 pt: DejaVu Sans runs wider than MS Sans Serif, and at this size
    // every text the program shows fits its control in the widest of them.
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial"),
        QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
    font.setPointSizeF(7.5);
    // Set explicitly, so that a control inside a bold frame does not inherit it.
    font.setBold(false);
    font.setUnderline(false);
    return font;
}

} // namespace cartonym::ui
