// SPDX-License-Identifier: GPL-3.0-or-later
// Identification in two tiers, as both front ends use it: catalogues first
// (verified names), then the corrections and the name database (named);
// and the registered catalogues, listed, added and removed.
#pragma once

#include "database_tools/catalogue_tier.h"
#include "database_tools/digest_cache.h"
#include "operations/file_mode.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace cartonym {

// Which catalogues a command uses: the files given, in their order; else
// the registered ones, in the order registered; none at all when none is
// set (the behaviour without catalogues, to the byte).
struct CatalogueChoice {
    std::vector<std::string> files;
    bool none = false;
};

// The catalogues in use with the digest cache they share.
class CatalogueSession {
public:
    // Reads the chosen catalogues; nullptr when none is in use. Throws
    // Error naming the catalogue and the place of the fault. Each skipped
    // malformed entry is told to note (UTF-8).
    static std::unique_ptr<CatalogueSession> open(
        const CatalogueChoice& choice, const std::function<void(const std::string&)>& note = {});

    const CatalogueTier& tier() const { return tier_; }
    // Writes the digests worked out meanwhile into the cache. Throws Error
    // whose what() names the cache and the failure ("<path>: Error Nr. ...");
    // a cache that cannot be written is only a loss of time, which callers
    // may say and go on.
    void save_cache();

private:
    CatalogueSession(std::vector<LoadedCatalogue> catalogues);
    std::unique_ptr<DigestCache> cache_;
    CatalogueTier tier_;
};

struct Identification {
    FileSelection selection; // the analysis and the database's answer, as file mode shows them
    IdentifiedBy identified_by = IdentifiedBy::none;
    Verification verification;      // the digests and the matching entry, with catalogues in use
    std::string archive_entry;      // for an archive of one image, that image's entry name
    std::size_t archive_images = 0; // for an archive, the image entries it holds
    std::string archive_reason;     // why an archive is no image (passed_over_reason), or ""
    // The file as the look met it (its identity and the bytes the analysis
    // read) and whether it was looked inside as an archive.
    AnalysedFile seen;
    bool archives = false;

    // An image: accepted by the analysis, or verified by a catalogue.
    bool is_image() const { return selection.analysis.Rom_ok || identified_by == IdentifiedBy::catalogue; }
};

// An image analysed as analysis and verified as verification (no entry:
// not verified), else looked up in the database. Throws Error when the
// database cannot be read.
Identification identify_analysed(
    RomAnalysis analysis, Verification verification, const std::string& database_path, bool without_spaces);

// Analyses the file (looking inside archives when archives is true), then
// tries the catalogues (when catalogues is not nullptr; an archive of one
// image by that image's bytes), then the database. Throws Error when the
// file or the database cannot be read.
Identification identify_file(const std::string& path, const std::string& database_path, bool without_spaces,
    const CatalogueSession* catalogues, bool archives = false);

// Renames the file name of folder to a verified file's new name (a
// file-system name, UTF-8) in that same folder, never replacing a file; a
// file that already has that name is left as it is: false. Throws Error
// (52 for a name that would leave the folder).
bool rename_verified_in_own_folder(const std::string& folder, const std::string& name, const std::string& new_name);

// What the rename of an identified file did.
enum class RenameOutcome {
    renamed,
    had_the_name, // the file has that name already and stays as it is
    file_changed, // the file is no longer the one identified: nothing renamed
};

// True when path is still the file found met: the same identity, and the
// analysis reads the same bytes from it. Throws Error when it cannot be read.
bool still_as_identified(const std::string& path, const Identification& found);

// Renames the file name of folder, which found identified, to new_name in
// that same folder, never replacing a file, once it is still the file
// found met (else file_changed). new_name is Neuer_name (Windows-1252) for
// a file the database named, the verified name (a file-system name) for
// one a catalogue verified. Throws Error (52 for a name that would leave
// the folder).
RenameOutcome rename_identified(
    const std::string& folder, const std::string& name, const Identification& found, const std::string& new_name);

// A catalogue as `catalogue list` and the window's list show it.
struct CatalogueSummary {
    std::string file;    // the registered file name ("" for one not registered)
    std::string name;    // the header's name (UTF-8)
    std::string version; // the header's version (UTF-8)
    std::size_t roms = 0;
    std::string fault; // why it cannot be read, "" when it can
};

// The registered catalogues in their order, each read. Throws Error when
// the folder cannot be read.
std::vector<CatalogueSummary> list_catalogues();

// Checks every catalogue first (throws Error naming the first that cannot
// be read, and registers none), then registers each; their summaries.
std::vector<CatalogueSummary> add_catalogues(const std::vector<std::string>& paths);

// Removes a registered catalogue by its file name; false when there is none.
bool remove_catalogue(const std::string& file);

// The registered catalogues as they are now, each file's name and
// identity: what tells that the registry changed. Throws Error when the
// folder cannot be read.
std::vector<std::pair<std::string, FileIdentity>> registry_state();

} // namespace cartonym
