#pragma once
// Small pieces of German that messages of every layer are built from.

#include <string>
#include <vector>

namespace calverdon {

// "a", "a und b", "a, b und c".
inline std::string JoinGerman(const std::vector<std::string>& items) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) text += i + 1 == items.size() ? " und " : ", ";
        text += items[i];
    }
    return text;
}

}  // namespace calverdon
