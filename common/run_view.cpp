#include "common/run_view.h"

#include <cstdio>
#include <cstdlib>

namespace quillo {

void QuietView::EndProgram() {
    std::fputs("quillo: the volume lock could not be lowered; ending at once\n", stderr);
    std::_Exit(3);
}

}  // namespace quillo
