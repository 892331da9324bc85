// SPDX-License-Identifier: GPL-3.0-or-later
// The Logiqx XML format, read by expat as a stream of elements: one game
// at a time is held, never a document tree.
#include "database_tools/catalogue_reading.h"

#include <expat.h>

#include <cstring>
#include <memory>

namespace cartonym {
namespace {

// Finds an attribute in expat's list of name and value pairs.
std::optional<std::string_view> attribute(const XML_Char** attributes, const char* name)
{
    for (; attributes[0] != nullptr; attributes += 2) {
        if (std::strcmp(attributes[0], name) == 0)
            return std::string_view(attributes[1]);
    }
    return std::nullopt;
}

class LogiqxReader {
public:
    explicit LogiqxReader(RomCatalogue::Builder& builder)
        : builder_(builder)
        , parser_(XML_ParserCreate(nullptr), XML_ParserFree)
    {
        if (!parser_)
            throw Error(ErrorNumber::disk_full);
        XML_SetUserData(parser_.get(), this);
        XML_SetElementHandler(
            parser_.get(),
            [](void* self, const XML_Char* name, const XML_Char** attributes) {
                static_cast<LogiqxReader*>(self)->start(name, attributes);
            },
            [](void* self, const XML_Char* name) { static_cast<LogiqxReader*>(self)->end(name); });
        XML_SetCharacterDataHandler(parser_.get(), [](void* self, const XML_Char* text, int length) {
            static_cast<LogiqxReader*>(self)->text(std::string_view(text, static_cast<std::size_t>(length)));
        });
    }

    void read(const CatalogueBytes& bytes)
    {
        for (;;) {
            const std::string_view piece = bytes();
            for (const char c : piece.substr(0, piece.empty() ? 0 : piece.size() - 1))
                newlines_before_last_ += c == '\n' ? 1 : 0;
            if (!piece.empty() && size_ > 0 && last_ == '\n')
                ++newlines_before_last_;
            if (!piece.empty())
                last_ = piece.back();
            size_ += piece.size();
            const XML_Status status =
                XML_Parse(parser_.get(), piece.data(), static_cast<int>(piece.size()), piece.empty());
            if (status != XML_STATUS_OK)
                failed(piece.empty());
            if (piece.empty())
                return;
        }
    }

private:
    std::string place(bool at_element) const
    {
        // The place of an element is that of its name, after the "<".
        const XML_Index byte = XML_GetCurrentByteIndex(parser_.get()) + (at_element ? 1 : 0);
        return "line " + std::to_string(XML_GetCurrentLineNumber(parser_.get())) + " (byte " + std::to_string(byte)
            + ")";
    }

    [[noreturn]] void failed(bool at_end)
    {
        if (stopped_)
            throw *stopped_;
        const std::string what = XML_ErrorString(XML_GetErrorCode(parser_.get()));
        if (at_end) {
            // A fault found at the very end means the text stops inside an element.
            const std::string last = "line " + std::to_string(newlines_before_last_ + 1) + " (byte "
                + std::to_string(size_ == 0 ? 0 : size_ - 1) + ")";
            catalogue_fault(builder_.file_name, last, "the file ends inside the XML (it is truncated): " + what);
        }
        catalogue_fault(builder_.file_name, place(false), "not well-formed XML: " + what);
    }

    // Runs a step of a handler; an Error stops the parser, to be thrown once
    // expat has returned (no exception may cross its C code).
    template <typename Step> void guarded(Step&& step)
    {
        if (stopped_)
            return;
        try {
            step();
        } catch (const Error& error) {
            stopped_ = error;
            XML_StopParser(parser_.get(), XML_FALSE);
        }
    }

    void start(const char* name, const XML_Char** attributes)
    {
        guarded([&] {
            ++depth_;
            const std::string_view element = name;
            if (depth_ == 1 && element != "datafile")
                catalogue_fault(builder_.file_name, place(true),
                    "the root element is <" + std::string(element) + ">, not the <datafile> of a Logiqx catalogue");
            if (depth_ == 2 && (element == "game" || element == "machine"))
                start_game(element, attributes);
            else if (depth_ == 3 && in_game_ && element == "rom" && game_fault_.empty())
                add_rom(attributes);
            in_header_ = in_header_ || (depth_ == 2 && element == "header");
            text_ = nullptr;
            if (depth_ == 3 && in_header_ && (element == "name" || element == "version"))
                text_ = element == "name" ? &header_name_ : &header_version_;
        });
    }

    void end(const char*)
    {
        guarded([&] {
            text_ = nullptr;
            if (depth_ == 2 && in_game_)
                end_game();
            if (depth_ == 2 && in_header_) {
                in_header_ = false;
                builder_.set_header(header_name_, header_version_);
            }
            --depth_;
        });
    }

    void text(std::string_view text)
    {
        if (text_ != nullptr && text_->size() < 4096)
            text_->append(text);
    }

    void start_game(std::string_view element, const XML_Char** attributes)
    {
        in_game_ = true;
        game_.clear();
        game_fault_.clear();
        const auto name = attribute(attributes, "name");
        if (!name)
            game_fault_ = builder_.file_name + ": " + place(true) + ": a <" + std::string(element) + "> without a name";
        game_name_ = name.value_or("");
        const auto parent = attribute(attributes, "cloneof");
        parent_ = parent ? std::optional<std::string>(*parent) : std::nullopt;
    }

    void add_rom(const XML_Char** attributes)
    {
        try {
            builder_.add_rom(game_, game_name_,
                {attribute(attributes, "name"), attribute(attributes, "size"), attribute(attributes, "crc"),
                    attribute(attributes, "sha1")},
                place(true));
        } catch (const Error& fault) {
            game_fault_ = fault.what();
        }
    }

    void end_game()
    {
        in_game_ = false;
        builder_.add_game([&](std::vector<CatalogueEntry>& roms) {
            if (!game_fault_.empty())
                throw Error(ErrorNumber::bad_file_name, game_fault_);
            roms = std::move(game_);
            RomCatalogue::Builder::set_parent(roms, parent_);
        });
        game_.clear();
    }

    RomCatalogue::Builder& builder_;
    std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser_;
    std::optional<Error> stopped_;
    int depth_ = 0;
    bool in_header_ = false, in_game_ = false;
    std::string header_name_, header_version_, game_name_, game_fault_;
    std::optional<std::string> parent_; // the game's "cloneof"
    std::string* text_ = nullptr;       // the header text being read
    std::vector<CatalogueEntry> game_;
    std::uint64_t size_ = 0, newlines_before_last_ = 0;
    char last_ = 0;
};

} // namespace

void read_logiqx(const CatalogueBytes& bytes, RomCatalogue::Builder& builder) { LogiqxReader(builder).read(bytes); }

} // namespace cartonym
