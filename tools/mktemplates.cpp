// Writes the two empty-database templates (Jet 3 "mdb95", Jet 4 "mdb2000")
// into a folder. The committed templates in src/engine/templates are made by
// this program; a test checks that they still match byte for byte.

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "jet/database.h"
#include "jet/file/format.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: mktemplates FOLDER\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    const struct {
        const char* name;
        jet::Version version;
    } templates[] = {{"mdb95.mdb", jet::Format::jet3().version},
                     {"mdb2000.mdb", jet::Format::jet4().version}};
    for (const auto& t : templates) {
        const auto image = jet::Database::emptyImage(t.version);
        std::ofstream out(folder / t.name, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(image.data()),
                  static_cast<std::streamsize>(image.size()));
        if (!out) {
            std::fprintf(stderr, "mktemplates: cannot write %s\n", (folder / t.name).c_str());
            return 1;
        }
    }
    return 0;
}
