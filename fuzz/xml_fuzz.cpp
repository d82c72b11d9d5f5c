// libFuzzer target: the XML reader on arbitrary bytes. The text is copied into a buffer of its
// exact size, so AddressSanitizer catches any read past its end.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "updater/offers/XmlReader.h"

namespace {

// Walks the tree the way the option-file readers do, so a broken link or a dangling node shows.
std::size_t Walk(const XmlNode& node, const XmlNode* parent, int depth) {
    if (node.parent != parent) __builtin_trap();
    if (depth > kXmlMaxDepth + 1) __builtin_trap();
    std::size_t total = node.name.size() + node.value.size();
    for (const auto& attribute : node.attributes) {
        if (attribute->owner != &node) __builtin_trap();
        total += attribute->name.size() + attribute->value.size();
    }
    for (const auto& child : node.children) {
        if (child->name.empty()) __builtin_trap();  // nameless children are never kept
        total += Walk(*child, &node, depth + 1);
    }
    return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::unique_ptr<char[]> text(new char[size ? size : 1]);
    if (size) std::memcpy(text.get(), data, size);
    XmlParseInfo info(text.get(), text.get() + size);
    XmlNode root;
    const char* end = root.Load(text.get(), &info);
    if (end && (end < text.get() || end > text.get() + size)) __builtin_trap();
    if (info.errorOccurred) {
        if (info.errorCode < 1 || info.errorCode > kXmlErrorTooDeep) __builtin_trap();
        if (info.errorPosition < text.get() || info.errorPosition > text.get() + size) __builtin_trap();
    }
    if (info.depth != 0) __builtin_trap();
    volatile std::size_t sink = Walk(root, nullptr, 1);
    (void)sink;
    return 0;
}
