#include "Zbar.h"

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <memory>
#include <regex>

namespace calverdon::test {
namespace {

struct PipeCloser {
    void operator()(FILE* f) const { pclose(f); }
};

// Single quotes around an argument for /bin/sh.
std::string Quoted(const std::string& s) {
    std::string q = "'";
    for (const char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::optional<std::string> Run(const std::string& command, int& status) {
    std::unique_ptr<FILE, PipeCloser> pipe(popen(command.c_str(), "r"));
    if (!pipe) return std::nullopt;
    std::string out;
    std::array<char, 4096> buf{};
    std::size_t n = 0;
    while ((n = std::fread(buf.data(), 1, buf.size(), pipe.get())) > 0) out.append(buf.data(), n);
    status = pclose(pipe.release());
    return out;
}

}  // namespace

bool ZbarAvailable() {
    int status = -1;
    return Run("zbarimg --version >/dev/null 2>&1", status) && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::optional<std::vector<ZbarSymbol>> ZbarScan(const std::string& path, const std::string& decoder) {
    // Interleaved 2 of 5 is read from 6 digits by default; our tests use
    // shorter data too, so allow 2.
    const std::string command = "zbarimg --xml -q -Sdisable -S" + decoder + ".enable " +
                                (decoder == "i25" ? "-Si25.min-length=2 " : "") + Quoted(path) + " 2>/dev/null";
    int status = -1;
    const std::optional<std::string> xml = Run(command, status);
    // zbarimg exits 0 when it found symbols, 4 when it found none.
    if (!xml || !WIFEXITED(status) || (WEXITSTATUS(status) != 0 && WEXITSTATUS(status) != 4)) return std::nullopt;
    std::vector<ZbarSymbol> symbols;
    static const std::regex symbol(R"(<symbol ([^>]*)><data><!\[CDATA\[([\s\S]*?)\]\]></data>)");
    static const std::regex attribute(R"((\w+)='([^']*)')");
    for (auto it = std::sregex_iterator(xml->begin(), xml->end(), symbol); it != std::sregex_iterator(); ++it) {
        ZbarSymbol found;
        found.data = (*it)[2];
        const std::string attributes = (*it)[1];
        for (auto a = std::sregex_iterator(attributes.begin(), attributes.end(), attribute);
             a != std::sregex_iterator(); ++a) {
            const std::string name = (*a)[1];
            if (name == "type") found.type = (*a)[2];
            if (name == "modifiers") found.modifiers = (*a)[2];
            if (name == "orientation") found.orientation = (*a)[2];
        }
        symbols.push_back(found);
    }
    return symbols;
}

}  // namespace calverdon::test
