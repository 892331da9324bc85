// SPDX-License-Identifier: GPL-3.0-or-later
// Form1's catalogues: the registered ones in use, the tier that named the
// selected file in the status bar, a verified file's name in either style,
// and the Database menu's catalogue list and report.
#include "ui/main_window.h"

#include "common/number_text.h"
#include "common/paths.h"
#include "naming/database_location.h"
#include "operations/identification.h"
#include "ui/batch_preview.h"
#include "ui/database_tools.h"
#include "ui/message_service.h"
#include "ui/text_conversion.h"
#include "ui/widgets.h"

#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QRadioButton>

namespace cartonym::ui {
namespace {

// The status bar's text for a selection: which tier named the file, "" for
// one that none named.
QString tier_text(const Identification& found)
{
    if (found.identified_by == IdentifiedBy::database)
        return QStringLiteral("named by the name database");
    if (found.identified_by != IdentifiedBy::catalogue)
        return {};
    const LoadedCatalogue& catalogue = *found.verification.catalogue;
    const std::string& name = catalogue.catalogue.name();
    return QStringLiteral("verified by ")
        + (name.empty() ? from_file_system(base_name(catalogue.path)) : QString::fromUtf8(name));
}

} // namespace

Form1::~Form1() = default;

// Reads the registered catalogues again; one that cannot be read is named,
// and the window goes on without catalogues.
void Form1::open_catalogues()
{
    catalogues_.reset();
    catalogue_state_.clear();
    try {
        catalogue_state_ = registry_state();
        catalogues_ = CatalogueSession::open({});
    } catch (const Error& error) {
        tier_status->setText(QStringLiteral("No catalogue in use: ") + QString::fromUtf8(error.what()));
    }
}

// Before each use: the registered catalogues read again when the registry
// changed since they were read (cartonym-cli may add or remove one while
// the window is open), and the user's own database once it exists (the
// database tools, the window's or cartonym-cli's, create it).
void Form1::follow_registry()
{
    try {
        if (registry_state() != catalogue_state_)
            open_catalogues();
    } catch (const Error&) {
        open_catalogues(); // says why no catalogue is in use
    }
    if (const std::string chosen = chosen_database_path(); chosen == user_database_path())
        database_path_ = chosen;
}

// A file a catalogue verified carries the catalogue's names; the status bar
// names the tier in either case.
void Form1::show_tier(const Identification& found)
{
    QString status = tier_text(found);
    if (found.archive_images > 1)
        status = QStringLiteral("the archive holds %1 images").arg(found.archive_images);
    else if (!found.archive_entry.empty())
        status = QStringLiteral("in the archive: ") + from_file_system(found.archive_entry)
            + (status.isEmpty() ? QString() : QStringLiteral("; ") + status);
    tier_status->setText(status);
    if (!found.archive_reason.empty())
        Dateityp->setText(archive_reason_text(found.archive_reason));
    const Verification& verification = found.verification;
    verified_name_ = found.identified_by == IdentifiedBy::catalogue ? verification.new_name : std::string();
    if (verified_name_.empty())
        return;
    verified_rom_name_ = verification.entry->rom_name;
    verified_without_first_512_ = verification.without_first_512;
    Namevoll->setText(QString::fromUtf8(verification.entry->game_name));
    Nameneu->setText(QString::fromUtf8(verified_name_));
    Command2->setVisible(true);
    rename_ready_ = true;
}

// A verified file's name composed again in the style chosen; false when the
// selected file is none.
bool Form1::restyle_verified()
{
    if (verified_name_.empty())
        return false;
    verified_name_ = verified_file_name(
        verified_rom_name_, analysis_, verified_without_first_512_, !Optiondateinamennormal->isChecked());
    if (!Command2->isHidden())
        Nameneu->setText(QString::fromUtf8(verified_name_));
    return true;
}

// After a run with catalogues in use: how many files they named.
void Form1::show_verified_count(const BatchCounts& counts)
{
    if (!catalogues_)
        return;
    tier_status->setText(QStringLiteral("%1 verified by catalogues").arg(counts.verified));
    try {
        catalogues_->save_cache();
    } catch (const Error& trouble) {
        tier_status->setText(
            tier_status->text() + QStringLiteral("; digests not kept: ") + QString::fromUtf8(trouble.what()));
    }
}

void Form1::catalogue_list_Click()
{
    try {
        show_catalogues(this, messages_, shell_, [this] { open_catalogues(); });
    } catch (const std::exception& error) {
        show_unexpected(error);
    }
}

void Form1::catalogue_report_Click()
{
    try {
        follow_registry();
        save_catalogue_report(this, messages_, shell_, catalogues_.get(), folder_path(), database_path_,
            look_inside_archives->isChecked());
    } catch (const std::exception& error) {
        show_unexpected(error);
    }
}

} // namespace cartonym::ui
