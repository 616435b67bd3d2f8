#include "cli/cli_output.h"
#include "cli/commands.h"
#include "core/catalogue/record_edit.h"
#include "core/storage/cp1251.h"

namespace kelvarn::cli {
namespace {

// A whole number of at most `largest`, or a usage error naming what it should be.
std::uint32_t numberArgument(const std::string& text, std::uint32_t largest,
                             const std::string& what) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != text.npos ||
        std::stoul(text) > largest) {
        throw UsageError{what + ": " + text};
    }
    return static_cast<std::uint32_t>(std::stoul(text));
}

RecordEdit parseEdit(const std::vector<std::string>& args) {
    RecordEdit edit;
    for (std::size_t i = 1; i < args.size(); i += 2) {
        const std::string& option = args[i];
        if (i + 1 >= args.size()) {
            throw UsageError{"unexpected argument: " + option};
        }
        const std::string& value = args[i + 1];
        std::string text = utf8ToCp1251(value).value_or("");
        if (option == "--author") {
            edit.author = text;
        } else if (option == "--title") {
            edit.title = text;
        } else if (option == "--email") {
            edit.email = text;
        } else if (option == "--style") {
            edit.style = static_cast<std::uint8_t>(numberArgument(value, 14, "a style is 0 to 14"));
        } else if (option == "--rating") {
            edit.rating =
                static_cast<std::uint8_t>(numberArgument(value, 10, "a rating is 0 to 10"));
        } else if (option == "--file") {
            edit.hasFile = numberArgument(value, 1, "--file is 0 or 1") == 1;
        } else {
            throw UsageError{"unexpected argument: " + option};
        }
    }
    return edit;
}

}  // namespace

int runEdit(const Context& context, const std::vector<std::string>& args, TableWriter&) {
    if (args.empty()) {
        throw UsageError{"edit needs a record number"};
    }
    std::uint32_t number = numberArgument(args[0], UINT32_MAX, "a record number");
    RecordEdit edit = parseEdit(args);
    CatalogueFile catalogue(context.folder + "Base.vlt");
    if (number < 1 || number > catalogue.count()) {
        throw Refusal{"no record " + args[0] + " in the catalogue"};
    }
    saveRecordEdit(catalogue, number, edit);
    return kExitDone;
}

}  // namespace kelvarn::cli
