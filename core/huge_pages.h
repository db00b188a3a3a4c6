// Large buffers of a big lot are touched once, page by page; asking the
// kernel for 2 MiB pages there saves most of the page faults.
#pragma once

#include <cstddef>

namespace lotvue {

// Advises transparent huge pages for the whole 2 MiB pages inside
// [p, p + bytes), before they are touched; does nothing for buffers that
// hold no such page or where unsupported.
void AdviseHugePages(const void* p, std::size_t bytes);

}  // namespace lotvue
