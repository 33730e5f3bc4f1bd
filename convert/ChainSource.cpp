#include "ChainSource.h"

#include <sys/stat.h>

#include <cerrno>

#include "Names.h"

namespace calverdon {

OpenedPart FolderChain::OpenNext(const std::string& name, std::uint64_t, int& error) {
    if (name.empty()) {
        error = ENOENT;
        return {};
    }
    return {OpenForReading(first_.parent_path() / name, error)};
}

std::uint64_t FolderChain::FurtherSize() const {
    std::uint64_t total = 0;
    for (std::uint32_t number = 2;; ++number) {
        struct stat st {};
        if (::stat(PartPath(first_, number).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return total;
        total += static_cast<std::uint64_t>(st.st_size);
    }
}

}  // namespace calverdon
