// Fuzz target: the snes.dat reader and the lookup. The database text is
// searched front to back and through the parsed index; both must give the
// same names and the same errors, and neither may crash.
//
// Input: 21 bytes internal name, then the database text.
#include "common/error.h"
#include "naming/name_database.h"
#include "naming/database_index.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

struct Outcome {
    int error = 0;
    cartonym::LookupResult result;
};

template <typename search>
Outcome run_lookup(search lookup)
{
    Outcome outcome;
    try {
        outcome.result = lookup();
    } catch (const cartonym::Error& error) {
        outcome.error = error.value();
    }
    return outcome;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data_bytes, std::size_t size)
{
    if (size < 21)
        return 0;
    cartonym::RomAnalysis analysis;
    analysis.Rom_ok = true;
    analysis.Interner_name.assign(reinterpret_cast<const char*>(data_bytes), 21);
    analysis.Landkuerzel = " (USA)";
    analysis.Endung = ".smc";
    const std::string_view text(reinterpret_cast<const char*>(data_bytes) + 21, size - 21);

    const Outcome front_to_back = run_lookup([&] { return cartonym::search_database_text(analysis, text); });
    const Outcome through_index = run_lookup([&] {
        const cartonym::DatabaseIndex index(text);
        return index.lookup(analysis.Interner_name, analysis);
    });
    if (front_to_back.error != through_index.error)
        std::abort();
    if (front_to_back.error == 0
        && (front_to_back.result.Neuer_name != through_index.result.Neuer_name
            || front_to_back.result.Voller_name != through_index.result.Voller_name
            || front_to_back.result.Db_interner_name != through_index.result.Db_interner_name))
        std::abort();
    if (front_to_back.error != 0 && front_to_back.error != 62)
        std::abort(); // text in memory can only end too early
    return 0;
}
