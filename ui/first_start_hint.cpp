// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/first_start_hint.h"

#include "common/error.h"
#include "operations/identification.h"
#include "ui/window_settings.h"

#include <QtCore/QTimer>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QDialog>
#include <QtWidgets/QDialogButtonBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QVBoxLayout>

namespace cartonym::ui {
namespace {

bool catalogue_registered()
{
    try {
        return !registry_state().empty();
    } catch (const Error&) {
        return true; // there is a registry, if one that cannot be read: the Catalogues dialog says why
    }
}

} // namespace

QString no_catalogue_hint() { return QStringLiteral("No catalogue: Database > Catalogues... > Add"); }

QDialog* show_first_start_hint(QWidget* parent, const std::function<void()>& open_catalogues)
{
    if (window_settings().value(QLatin1String(first_start_hint_key), false).toBool() || catalogue_registered())
        return nullptr;
    auto* dialog = new QDialog(parent);
    dialog->setObjectName(QStringLiteral("first_start_hint"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QStringLiteral("Where the names come from"));
    auto* layout = new QVBoxLayout(dialog);
    auto* text = new QLabel(
        QStringLiteral("Cartonym names an image by the internal name in its header, looked up in the name database "
                       "snes.dat. The snes.dat that comes with the program knows only a few demo games, so most "
                       "images will read \"ROM unknown !\".\n\n"
                       "A ROM catalogue (a No-Intro DAT file or similar) names every dump it lists by its content: "
                       "verified names, whatever the header says. Registering one takes one step:\n"
                       "Database > Catalogues... > Add."),
        dialog);
    text->setObjectName(QStringLiteral("hint"));
    text->setWordWrap(true);
    text->setMinimumWidth(text->fontMetrics().averageCharWidth() * 60);
    layout->addWidget(text);
    auto* again = new QCheckBox(QStringLiteral("&Show this hint at the next start"), dialog);
    again->setObjectName(QStringLiteral("show_again"));
    layout->addWidget(again);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    QPushButton* catalogues = buttons->addButton(QStringLiteral("&Catalogues..."), QDialogButtonBox::ActionRole);
    catalogues->setObjectName(QStringLiteral("open_catalogues"));
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    QObject::connect(dialog, &QDialog::finished, dialog,
        [again] { window_settings().setValue(QLatin1String(first_start_hint_key), !again->isChecked()); });
    // The catalogues dialog is modal: it opens once the hint has closed.
    QObject::connect(catalogues, &QPushButton::clicked, dialog, [dialog, open_catalogues] {
        dialog->reject();
        QTimer::singleShot(0, dialog->parent(), open_catalogues);
    });
    dialog->show();
    return dialog;
}

} // namespace cartonym::ui
