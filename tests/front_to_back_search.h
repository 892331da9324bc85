// SPDX-License-Identifier: GPL-3.0-or-later
// The database search as a plain front-to-back read of the text with the
// one item reader, without corrections: what the index must answer, errors
// included; and the answers of lookups as texts.
#pragma once

#include "common/error.h"
#include "fixtures/rom_builder.h"
#include "naming/file_names.h"
#include "naming/name_database.h"

namespace cartonym::test {

// A lookup's answer in one text: the names and last record read, or the failure's number.
template <typename Search> std::string answer(Search lookup)
{
    try {
        const LookupResult e = lookup();
        return e.Neuer_name + "|" + e.Voller_name + "|" + e.Db_interner_name;
    } catch (const Error& error) {
        return "failure " + std::to_string(error.value());
    }
}

// The answer of a lookup of key that finds full_name with the suffix " (JAP)" and the extension ".fig".
inline std::string found(const std::string& key, const std::string& full_name)
{
    return full_name + " (JAP).fig|" + full_name + "|" + fixtures::Interner_name(key);
}

inline LookupResult search_database_text(const RomAnalysis& analysis, std::string_view database_text)
{
    LookupResult result;
    RecordReader reader(database_text);
    do {
        result.Db_interner_name = reader.next_item();
        result.Voller_name = reader.next_item();
        if (result.Db_interner_name == analysis.Interner_name) {
            result.Neuer_name = normal_name(result.Voller_name, analysis.Landkuerzel, analysis.Endung);
            return result;
        }
    } while (!reader.at_end());
    return result;
}

} // namespace cartonym::test
