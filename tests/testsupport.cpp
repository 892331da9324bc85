#include "tests/testsupport.h"

#include "common/windows1252.h"

#include "fixtures/rom_builder.h"

#include <cctype>
#include <cstdlib>
#include <algorithm>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace cartonym::test {
namespace {

int hex_digit_value(char character)
{
    if (character >= '0' && character <= '9')
        return character - '0';
    if (character >= 'A' && character <= 'F')
        return character - 'A' + 10;
    return -1;
}


} // namespace

std::optional<std::string> file_name_from_escaped(std::string_view text)
{
    std::string name;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char character = text[pos];
        if (character != '\\') {
            append_utf8(name, code_point_from_cp1252(static_cast<unsigned char>(character)));
            ++pos;
            continue;
        }
        if (pos + 1 >= text.size())
            return std::nullopt;
        const char kind = text[pos + 1];
        if (kind == '\\') {
            name += '\\';
            pos += 2;
        } else if (kind == 'x') {
            if (pos + 4 > text.size())
                return std::nullopt;
            const int high = hex_digit_value(text[pos + 2]);
            const int low = hex_digit_value(text[pos + 3]);
            if (high < 0 || low < 0)
                return std::nullopt;
            name += static_cast<char>(high * 16 + low);
            pos += 4;
        } else if (kind == 'u') {
            if (pos + 2 >= text.size() || text[pos + 2] != '{')
                return std::nullopt;
            const auto end_pos = text.find('}', pos + 3);
            if (end_pos == std::string_view::npos || end_pos - (pos + 3) < 4 || end_pos - (pos + 3) > 6)
                return std::nullopt;
            char32_t value = 0;
            for (std::size_t i = pos + 3; i < end_pos; ++i) {
                const int digit = hex_digit_value(text[i]);
                if (digit < 0)
                    return std::nullopt;
                value = value * 16 + static_cast<char32_t>(digit);
            }
            if (value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
                return std::nullopt;
            append_utf8(name, value);
            pos = end_pos + 1;
        } else {
            return std::nullopt;
        }
    }
    return name;
}



TempFolder::TempFolder()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "cartonym-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempFolder::~TempFolder()
{
    std::error_code error;
    // Make read-only folders left by a test removable again.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, error);
         it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_directory(error) && !it->is_symlink(error))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, error);
    }
    std::filesystem::remove_all(path_, error);
}

Tree tree_of(const std::filesystem::path& folder)
{
    Tree state;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file() && !entry.is_symlink())
            state[std::filesystem::relative(entry.path(), folder).string()] = fixtures::read_file(entry.path().string());
    }
    return state;
}

Tree entries_of(const std::filesystem::path& folder)
{
    Tree state;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        const std::string path = std::filesystem::relative(entry.path(), folder).string();
        if (entry.is_symlink())
            state[path] = "<link> " + std::filesystem::read_symlink(entry.path()).string();
        else if (entry.is_directory())
            state[path] = "<folder>";
        else if (entry.is_regular_file())
            state[path] = fixtures::read_file(entry.path().string());
        else
            state[path] = "<other>";
    }
    return state;
}

ScopedVariable::ScopedVariable(std::string name, const std::optional<std::string>& value) : name_(std::move(name))
{
    if (const char* old = std::getenv(name_.c_str()))
        old_ = old;
    if (value)
        ::setenv(name_.c_str(), value->c_str(), 1);
    else
        ::unsetenv(name_.c_str());
}

ScopedVariable::~ScopedVariable()
{
    if (old_)
        ::setenv(name_.c_str(), old_->c_str(), 1);
    else
        ::unsetenv(name_.c_str());
}

FaultHook fail_on(SystemOperation wanted, int errnum)
{
    return [wanted, errnum](SystemOperation operation, const std::string&) { return operation == wanted ? errnum : 0; };
}

TempEnvironment::TempEnvironment(const std::vector<std::pair<std::string, std::string>>& to_set) : set_(to_set)
{
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('='));
        std::string lower = name;
        for (char& character : lower)
            character = static_cast<char>(std::tolower(static_cast<unsigned char>(character)));
        if (lower == "temp" || name == "TMPDIR")
            old_.emplace_back(name, text.substr(name.size() + 1));
    }
    for (const auto& [name, value] : old_)
        ::unsetenv(name.c_str());
    for (const auto& [name, value] : to_set)
        ::setenv(name.c_str(), value.c_str(), 1);
}

TempEnvironment::~TempEnvironment()
{
    for (const auto& [name, value] : set_)
        ::unsetenv(name.c_str());
    for (const auto& [name, value] : old_)
        ::setenv(name.c_str(), value.c_str(), 1);
}

namespace {
std::string shell_word(const std::string& word)
{
    std::string result = "'";
    for (const char c : word)
        result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
}
} // namespace

ProgramRun run_program(const std::string& program, const std::vector<std::string>& arguments, const TempFolder& filing)
{
    std::string command = shell_word(program);
    for (const auto& arg : arguments)
        command += " " + shell_word(arg);
    command += " >" + shell_word(filing / "cli.out") + " 2>" + shell_word(filing / "cli.err") + " </dev/null";
    const int raw = std::system(command.c_str());
    ProgramRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = fixtures::read_file(filing / "cli.out");
    run.err = fixtures::read_file(filing / "cli.err");
    std::filesystem::remove(filing / "cli.out");
    std::filesystem::remove(filing / "cli.err");
    return run;
}

void make_fifo(const std::string& path)
{
    if (::mkfifo(path.c_str(), 0600) != 0)
        throw std::runtime_error("mkfifo failed: " + path);
}

void make_socket(const std::string& path)
{
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{.sun_family = AF_UNIX, .sun_path = {}};
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    const bool bound = path.size() < sizeof address.sun_path
        && ::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(sock);
    if (!bound)
        throw std::runtime_error("bind failed: " + path);
}

RomAnalysis analysis_for(const std::string& name, const std::string& checksum, const std::string& suffix, const std::string& extension)
{
    RomAnalysis a;
    a.Rom_ok = true;
    a.Interner_name = fixtures::Interner_name(name);
    a.Pruefsumme = checksum;
    a.Landkuerzel = suffix;
    a.Endung = extension;
    return a;
}

std::vector<std::string> image_contents(const std::filesystem::path& folder)
{
    std::vector<std::string> contents;
    for (const auto& [path, content] : tree_of(folder))
        if (!path.ends_with("games.htm") && !path.ends_with("unknown.log"))
            contents.push_back(content);
    std::ranges::sort(contents);
    return contents;
}

std::string error_text(int number, const std::string& path)
{
    return file_error_text(Error(static_cast<ErrorNumber>(number)), path);
}

RunFolder::RunFolder(const std::string& database, const std::vector<std::pair<std::string, fixtures::RomPlan>>& images)
{
    std::filesystem::create_directory(F);
    std::filesystem::create_directory(temp_folder);
    fixtures::write_file(db, database);
    for (const auto& [name, plan] : images)
        image(name, plan);
}

void RunFolder::file(const std::string& name, const std::string& content) const
{
    std::filesystem::create_directories(std::filesystem::path(in_folder(name)).parent_path());
    fixtures::write_file(in_folder(name), content);
}

} // namespace cartonym::test
