#pragma once

// Memory that is about to be filled: the system is asked to give it its pages in one go,
// instead of one page fault at a time as the bytes arrive. First-touch page faults are
// costly on virtual machines; a large store read into fresh memory is made mostly of them.

#include <cstddef>

namespace sentrel {

// The whole pages within [data, data + size) are made present and writable. Only a hint:
// the contents are not changed, and where the system cannot do it nothing happens.
void PrepareForWriting(void* data, std::size_t size);

} // namespace sentrel
