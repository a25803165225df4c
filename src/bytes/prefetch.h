// Asking for memory ahead of its use: the cache line that holds an address
// is fetched while other work goes on, where a lookup in a large table
// would otherwise wait for it. Only a hint: nothing is read, any address
// will do.
#pragma once

inline void prefetchForUse(const void* address)
{
#if defined(__GNUC__)
    __builtin_prefetch(address);
#else
    (void)address;
#endif
}
