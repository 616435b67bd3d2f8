// SPDX-License-Identifier: GPL-3.0-or-later
// AvtLst.lst as a user may have edited it: the names read back unchanged once written, a chosen
// name always passes the author selection, and the catalogue's own author list (from the same
// bytes taken as Base.vlt) is sorted and holds each name once up to case.
#include <cstdint>
#include <string>
#include <vector>

#include "core/catalogue/catalogue_file.h"
#include "core/import/author_list.h"
#include "core/import/selection.h"
#include "core/storage/cp1251.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kelvarn;
    using fuzz::check;
    static const fuzz::FuzzFolder folder("author_list");
    const std::vector<std::string> names = readAuthorList(folder.write("AvtLst.lst", data, size));

    std::string written;
    for (const std::string& name : names) {
        check(name.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos,
              "a name is one line");
        written += name + "\r\n";
    }
    const std::string copy = folder.file("AvtLst.copy");
    writeAuthorList(copy, names);
    check(fuzz::readFile(copy) == written, "names are written one a line");
    check(readAuthorList(copy) == names, "written names read back");

    SelectionControls byAuthor;
    byAuthor.byStyle = false;
    byAuthor.names = names;
    for (const std::string& name : names) {
        check(passesSelection(byAuthor, 14, name, ""), "a chosen author passes");
    }
    const std::string summary = chosenListText(names);
    check(names.empty() || summary.ends_with(';'), "the summary ends each name with ;");

    const std::vector<std::string> base =
        baseAuthorNames(CatalogueFile(folder.write("Base.vlt", data, size)));
    for (std::size_t i = 1; i < base.size(); ++i) {
        check(authorNameLess(base[i - 1], base[i]), "the catalogue's names are sorted");
        check(caseFold(base[i - 1]) != caseFold(base[i]), "each name once up to case");
    }
    return 0;
}
