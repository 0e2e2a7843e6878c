#include "zepplus/Contract.h"

#include <cstdio>

namespace zepplus {

void ContractFailed(const char *expression, const char *file, int line)
{
    std::fprintf(stderr, "contract failed: %s (%s:%d)\n", expression, file, line);
}

}
