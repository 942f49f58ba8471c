// The process's one allocator; see orv_allocator.h.
#include "orv_allocator.h"

CORVAllocator g_orvAllocator = {orvHeapAllocate, orvHeapRelease};
