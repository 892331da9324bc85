#include "reports/unknown_log.h"

#include "common/windows1252.h"
#include "common/system_calls.h"
#include "common/error.h"
#include "common/program_info.h"
#include "common/number_text.h"
#include "naming/file_names.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cartonym {
namespace {

constexpr const char* Zeilenende = "\r\n";

// Decodes one well-formed UTF-8 sequence at pos (shortest form, no
// surrogates, at most U+10FFFF); false leaves pos unchanged.
bool Lies_zeichen(std::string_view text, std::size_t& pos, char32_t& zeichen)
{
    const auto erstes = static_cast<unsigned char>(text[pos]);
    std::size_t folge = 0;
    char32_t minimum = 0;
    if (erstes < 0x80) {
        zeichen = erstes;
        ++pos;
        return true;
    }
    if ((erstes & 0xE0) == 0xC0) {
        folge = 1;
        minimum = 0x80;
        zeichen = erstes & 0x1Fu;
    } else if ((erstes & 0xF0) == 0xE0) {
        folge = 2;
        minimum = 0x800;
        zeichen = erstes & 0x0Fu;
    } else if ((erstes & 0xF8) == 0xF0) {
        folge = 3;
        minimum = 0x10000;
        zeichen = erstes & 0x07u;
    } else {
        return false;
    }
    if (pos + folge >= text.size())
        return false;
    for (std::size_t i = 1; i <= folge; ++i) {
        const auto byte = static_cast<unsigned char>(text[pos + i]);
        if ((byte & 0xC0) != 0x80)
            return false;
        zeichen = (zeichen << 6) | (byte & 0x3Fu);
    }
    if (zeichen < minimum || zeichen > 0x10FFFF || (zeichen >= 0xD800 && zeichen <= 0xDFFF))
        return false;
    pos += folge + 1;
    return true;
}

bool Ist_steuerzeichen(char32_t zeichen)
{
    return zeichen < 0x20 || (zeichen >= 0x7F && zeichen <= 0x9F);
}

int Hexwert(char zeichen)
{
    if (zeichen >= '0' && zeichen <= '9')
        return zeichen - '0';
    if (zeichen >= 'A' && zeichen <= 'F')
        return zeichen - 'A' + 10;
    return -1;
}

} // namespace

std::string Unbekannt_eintrag(const std::string& datei, const std::string& format, const std::string& iname,
                              const std::string& land, const std::string& crc)
{
    std::string eintrag = "Datasource: The Cartonym ver." + Dezimaltext(Programm::Version_major) + "."
        + Dezimaltext(Programm::Version_minor) + "." + Dezimaltext(Programm::Version_revision) + " Englisch"
        + Zeilenende;
    eintrag += "Filename = \"" + datei + "\"" + Zeilenende;
    eintrag += "Format = " + format + Zeilenende;
    eintrag += "Internal name = \"" + iname + "\"" + Zeilenende;
    eintrag += "Country = " + land + Zeilenende;
    eintrag += "CRC1 = " + crc + Zeilenende;
    eintrag += Zeilenende;
    return eintrag;
}

void Schreibe_unbekannt(const std::string& ordner, const std::string& datei, const std::string& format,
                        const std::string& iname, const std::string& land, const std::string& crc)
{
    const std::string pfad = Verbinde_pfad(ordner, "unknown.log");
    if (const int fehler = Injizierter_fehler(Systemoperation::Oeffnen, pfad))
        Wirf_errno(fehler);
    // The log is appended to only when it is a plain file of its own: a link
    // of that name is never written through (it could lead into any file),
    // and a FIFO must not hold the run waiting for a reader. Both are
    // path/file access errors.
    const int fd = ::open(pfad.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
    if (fd < 0) {
        const int fehler = errno;
        struct stat info {};
        if (fehler == ELOOP && ::lstat(pfad.c_str(), &info) == 0 && S_ISLNK(info.st_mode))
            throw Fehler(Fehlernummer::Zugriffsfehler);
        Wirf_errno(fehler);
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int fehler = errno;
        ::close(fd);
        Wirf_errno(fehler);
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        throw Fehler(Fehlernummer::Zugriffsfehler);
    }
    // One write for the whole entry, so that entries do not interleave.
    const std::string eintrag = Unbekannt_eintrag(datei, format, iname, land, crc);
    try {
        Schreibe_alles(fd, eintrag, pfad);
    } catch (const Fehler&) {
        ::close(fd);
        throw;
    }
    int fehler = Injizierter_fehler(Systemoperation::Schliessen, pfad);
    if (::close(fd) != 0 && fehler == 0)
        fehler = errno;
    if (fehler != 0)
        Wirf_errno(fehler);
}

std::string Cp1252_aus_dateiname(std::string_view name)
{
    std::string text;
    std::size_t pos = 0;
    char puffer[16];
    while (pos < name.size()) {
        char32_t zeichen = 0;
        if (!Lies_zeichen(name, pos, zeichen)) {
            std::snprintf(puffer, sizeof puffer, "\\x%02X", static_cast<unsigned>(static_cast<unsigned char>(name[pos])));
            text += puffer;
            ++pos;
            continue;
        }
        if (zeichen == '\\') {
            text += "\\\\";
            continue;
        }
        const auto byte = Cp1252_aus_zeichen(zeichen);
        if (byte && !Ist_steuerzeichen(zeichen)) {
            text += static_cast<char>(*byte);
            continue;
        }
        std::snprintf(puffer, sizeof puffer, "\\u{%04X}", static_cast<unsigned>(zeichen));
        text += puffer;
    }
    return text;
}

std::optional<std::string> Dateiname_aus_logtext(std::string_view text)
{
    std::string name;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char zeichen = text[pos];
        if (zeichen != '\\') {
            Haenge_utf8_an(name, Zeichen_aus_cp1252(static_cast<unsigned char>(zeichen)));
            ++pos;
            continue;
        }
        if (pos + 1 >= text.size())
            return std::nullopt;
        const char art = text[pos + 1];
        if (art == '\\') {
            name += '\\';
            pos += 2;
        } else if (art == 'x') {
            if (pos + 4 > text.size())
                return std::nullopt;
            const int hoch = Hexwert(text[pos + 2]);
            const int tief = Hexwert(text[pos + 3]);
            if (hoch < 0 || tief < 0)
                return std::nullopt;
            name += static_cast<char>(hoch * 16 + tief);
            pos += 4;
        } else if (art == 'u') {
            if (pos + 2 >= text.size() || text[pos + 2] != '{')
                return std::nullopt;
            const auto ende = text.find('}', pos + 3);
            if (ende == std::string_view::npos || ende - (pos + 3) < 4 || ende - (pos + 3) > 6)
                return std::nullopt;
            char32_t wert = 0;
            for (std::size_t i = pos + 3; i < ende; ++i) {
                const int ziffer = Hexwert(text[i]);
                if (ziffer < 0)
                    return std::nullopt;
                wert = wert * 16 + static_cast<char32_t>(ziffer);
            }
            if (wert > 0x10FFFF || (wert >= 0xD800 && wert <= 0xDFFF))
                return std::nullopt;
            Haenge_utf8_an(name, wert);
            pos = ende + 1;
        } else {
            return std::nullopt;
        }
    }
    return name;
}

} // namespace cartonym
