// The database search as a plain front-to-back read of the text with the
// one item reader, without corrections: what the index must answer, errors
// included.
#pragma once

#include "naming/file_names.h"
#include "naming/name_database.h"

namespace cartonym::test {

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
