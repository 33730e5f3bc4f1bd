#include "LineGenerator.h"

namespace calverdon {

LineGenerator& ProcessLineGenerator() {
    static LineGenerator generator;
    return generator;
}

}  // namespace calverdon
