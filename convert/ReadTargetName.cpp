#include "ReadTargetName.h"

#include "Cp1252.h"
#include "File.h"
#include "FormatRules.h"
#include "Names.h"
#include "Report.h"

namespace calverdon {

std::string ReadTargetName(const std::filesystem::path& source, UserMessages& messages) {
    int error = 0;
    UniqueFd fd = OpenForReading(source, error);
    if (!fd.IsOpen()) {
        Reporter({messages}).OpenChosenFileFailed(error);
        return {};
    }
    BufferedReader reader(std::move(fd));
    const format::Header header = format::ReadHeader(reader);
    const std::string name =
        header.kind == format::HeaderKind::None ? std::string() : SafeFileName(Cp1252ToUtf8(header.name));
    if (name.empty()) Reporter({messages}).NotHexText();
    return name;
}

}  // namespace calverdon
