// The block text item reader: reads a whole input item by item as a file reader would, keeping
// the enclosing block names so that end tags match, and puts every item it reads through the
// typed readers and back through the writers.

#include <sstream>
#include <vector>

#include "fuzz/FuzzSupport.h"

namespace glean::fuzz {
namespace {

// The typed readers that fit the item's kind; their errors are part of the reading, not the end
// of it. (Throwing is costly, so the readers that can only refuse the item are not called.)
void ReadTyped(FileTools& tools, std::istream& in, const BlockItem& item) {
    if (item.kind == BlockItem::Token) {
        Accepting([&] { tools.ReadNumberToken(in, item); });
    } else if (item.kind == BlockItem::Statement) {
        Accepting([&] { tools.ReadInteger(in, item, item.name); });
        Accepting([&] { tools.ReadNumber(in, item, item.name); });
        if (!Accepting([&] { tools.ReadString(in, item, item.name, item.value); })) {
            Finding("a statement does not match its own key and value");
        }
    }
}

// Writing a closed start tag or statement and reading it back gives the same item.
void RoundTrip(const BlockItem& item) {
    if (item.open || (item.kind != BlockItem::StartTag && item.kind != BlockItem::Statement)) {
        return;
    }
    FileTools tools;
    std::ostringstream out;
    if (item.kind == BlockItem::StartTag) {
        tools.WriteStartTag(out, item.name);
    } else {
        tools.WriteString(out, item.name, item.value);
    }
    std::istringstream in(out.str());
    const BlockItem back = tools.ReadItem(in);
    RequireSame("item read back after writing", item.name + "=" + item.value,
                back.name + "=" + back.value);
    if (back.kind != item.kind || back.open) Finding("item kind changed after writing");
}

void ReadAll(FileTools& tools, std::istream& in) {
    std::vector<std::string> blocks;  // the enclosing block names, innermost last
    BlockItem item;
    for (;;) {
        const std::string* blockdef = blocks.empty() ? nullptr : &blocks.back();
        tools.ReadItem(in, item, blockdef);
        ReadTyped(tools, in, item);
        RoundTrip(item);
        if (item.kind == BlockItem::EndOfBlock) {
            if (blocks.empty()) return;
            blocks.pop_back();
            continue;
        }
        if (item.kind == BlockItem::StartTag && !item.open) blocks.push_back(item.name);
        // The further words of an open bracket, as the file readers take them.
        while (item.open) {
            tools.ReadItem(in, item, blockdef, true);
            ReadTyped(tools, in, item);
        }
    }
}

}  // namespace
}  // namespace glean::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace glean;
    std::istringstream in(fuzz::Text(data, size));
    FileTools tools;
    fuzz::Accepting([&] { fuzz::ReadAll(tools, in); });
    return 0;
}
