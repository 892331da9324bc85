// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the snes.dat reader and the lookup. The database text is
// searched front to back and through the index (with its usual windows and
// with tiny ones); all must give the same names and the same errors, and
// none may crash.
//
// Input: 21 bytes internal name, then the database text.
#include "common/error.h"
#include "naming/database_index.h"
#include "naming/name_database.h"
#include "tests/front_to_back_search.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

struct Outcome {
    int error = 0;
    cartonym::LookupResult result;
};

template <typename search> Outcome run_lookup(search lookup)
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

    const Outcome front_to_back = run_lookup([&] { return cartonym::test::search_database_text(analysis, text); });
    if (front_to_back.error != 0 && front_to_back.error != 62)
        std::abort(); // text in memory can only end too early

    // The index with its usual limits, and with windows of a few bytes and
    // hashes of two bits, so that records span windows and keys share hashes.
    cartonym::DatabaseLimits tight;
    tight.window = 1 + data_bytes[0] % 8;
    tight.hash_mask = 3;
    for (const cartonym::DatabaseLimits& limits : {cartonym::DatabaseLimits{}, tight}) {
        const Outcome through_index = run_lookup([&] {
            const cartonym::TextBytes bytes(text);
            const cartonym::DatabaseIndex index(bytes, limits);
            return index.lookup(bytes, analysis.Interner_name, analysis);
        });
        if (front_to_back.error != through_index.error)
            std::abort();
        if (front_to_back.error == 0
            && (front_to_back.result.Neuer_name != through_index.result.Neuer_name
                || front_to_back.result.Voller_name != through_index.result.Voller_name
                || front_to_back.result.Db_interner_name != through_index.result.Db_interner_name))
            std::abort();
    }
    return 0;
}
