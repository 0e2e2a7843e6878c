// Debug-build contract checks: report the broken expression and carry on,
// so no behaviour depends on whether the checks are compiled in.
#ifndef ZEPPLUS_CONTRACT_H
#define ZEPPLUS_CONTRACT_H

namespace zepplus {
void ContractFailed(const char *expression, const char *file, int line);
}

#ifdef NDEBUG
#define ZEP_CONTRACT(expression) ((void)0)
#else
#define ZEP_CONTRACT(expression) \
    ((expression) ? (void)0 : ::zepplus::ContractFailed(#expression, __FILE__, __LINE__))
#endif

#endif
