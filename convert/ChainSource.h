#pragma once
// Where the decoder finds the parts of a chain. The usual place is the
// first part's folder, where each continuation line names the next part
// (FolderChain); the mail layer hands over parts that it has found and
// linked itself, whatever names they arrived under.

#include <cstdint>
#include <filesystem>
#include <string>

#include "File.h"

namespace calverdon {

// A part opened for reading: its file, and the stretch of it that the part
// is (the whole file, unless several parts share one).
struct OpenedPart {
    UniqueFd fd;
    std::uint64_t offset = 0;
    std::uint64_t length = UINT64_MAX;
};

class ChainSource {
public:
    virtual ~ChainSource() = default;
    // The identity of the first part on disk, without opening it.
    virtual bool FirstId(FileId& id) const = 0;
    // The first part; the errno of a failure goes to `error`.
    virtual OpenedPart OpenFirst(int& error) = 0;
    // The part that stands at `number` (2 and up), which the previous
    // part's continuation line names `name` (UTF-8, made safe; empty when
    // the line names nothing usable).
    virtual OpenedPart OpenNext(const std::string& name, std::uint64_t number, int& error) = 0;
    // The bytes of every part after the first, as far as they are known
    // before reading: progress runs over them.
    virtual std::uint64_t FurtherSize() const = 0;
};

// A chain as files in the first part's folder.
class FolderChain final : public ChainSource {
public:
    explicit FolderChain(std::filesystem::path first) : first_(std::move(first)) {}

    bool FirstId(FileId& id) const override { return GetFileId(first_, id); }
    OpenedPart OpenFirst(int& error) override { return {OpenForReading(first_, error)}; }
    OpenedPart OpenNext(const std::string& name, std::uint64_t number, int& error) override;
    // The further parts that follow the usual naming.
    std::uint64_t FurtherSize() const override;

private:
    std::filesystem::path first_;
};

}  // namespace calverdon
