// The saved-tabs decoder: a file restores completely or not at all, and what it restored
// encodes to a file that restores the same tabs.
#include "model/tab_state_file.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace quillet;
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const auto snapshots = TabStateFile::decode(bytes);
    if (!snapshots) {
        if (snapshots.reason().isEmpty())
            std::abort(); // a refused file always says why
        return 0;
    }
    const auto decodedAgain = TabStateFile::decode(TabStateFile::encode(*snapshots));
    if (!decodedAgain || *decodedAgain != *snapshots)
        std::abort();
    return 0;
}
