#pragma once
// Memory for the scene's arrays. An import makes thousands of vertex, face
// and map arrays, most a few hundred kilobytes and together hundreds of
// megabytes, and keeps them: they are carved one after another out of large
// blocks in huge-page-advised memory, so filling them costs a page fault per
// two megabytes instead of one per four kilobytes. A block goes back to the
// system when the last array in it is freed. Thread-safe.
#include <cstddef>

namespace host {

// `zeroed` tells whether the memory is fresh from the system, all zero bytes.
void* allocateSceneBytes(std::size_t bytes, bool& zeroed);  // throws std::bad_alloc
void freeSceneBytes(void* items, std::size_t bytes);

}  // namespace host
