// One libFuzzer target per FUZZ_TARGET name; the body is shared with the
// regression test.

#include <cstddef>
#include <cstdint>

#include "support/fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    jetfuzz::runEntry(FUZZ_TARGET, {data, size});
    return 0;
}
